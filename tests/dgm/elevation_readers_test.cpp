#include "common/bytes.h"
#include "common/numeric.h"
#include "dgm/elevation_grid.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_picture.h"
#include "dgm/tiff_structure.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

std::vector<double> numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> v;
    for (std::string word; in >> word;)
        v.push_back(word == "nan" ? NAN : std::stod(word));
    return v;
}

// The heights against want's words ("nan": no data) in single precision.
void expectHeights(const ElevationGrid& g, const std::string& want, double tolerance = 0) {
    const std::vector<double> v = numbers(want);
    ASSERT_EQ(g.heights.size(), v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        if (std::isnan(v[i]))
            EXPECT_TRUE(std::isnan(g.heights[i])) << i;
        else
            EXPECT_NEAR(g.heights[i], toSingle(v[i]), tolerance) << i;
}

// Columns, rows, west, north, stepX, stepY[, EPSG code, degrees].
void expectShape(const ElevationGrid& g, const std::vector<double>& want, double tolerance) {
    const double got[] = {double(g.columns), double(g.rows), g.west,         g.north,
                          g.stepX,           g.stepY,        double(g.epsg), double(g.geographic)};
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tolerance) << "field " << i;
}

// Columns from..to of a table row, as numbers.
std::vector<double> cells(const std::vector<std::string>& row, std::size_t from, std::size_t to) {
    std::vector<double> v;
    for (std::size_t i = from; i <= to; ++i)
        v.push_back(std::stod(row[i]));
    return v;
}

// Declared, impossible, given.
std::vector<long long> noData(const ElevationGrid& g) {
    return {g.noData.declared, g.noData.impossible, g.noData.given};
}

constexpr const char* DegreesPrj = "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\","
                                   "6378137,298.257223563]],PRIMEM[\"Greenwich\",0],"
                                   "UNIT[\"degree\",0.0174532925199433]]";

// Writes a text grid; one named "*_deg.asc" gets a ".prj" that says degrees.
void writeGrid(const std::string& path, const std::string& text) {
    writeText(path, text);
    if (path.ends_with("_deg.asc")) writeText(path.substr(0, path.size() - 4) + ".prj", DegreesPrj);
}

// 3 x 3 points, 0.25 (degrees) apart, from the corner given.
std::string quarters(const char* corner) {
    return std::string("ncols 3\nnrows 3\n") + corner + "\ncellsize 0.25\n1 2 3\n4 5 6\n7 8 9\n";
}

} // namespace

// Every file GDAL wrote reads as GDAL read it, holes and heights included.
TEST(ElevationRead, GivesWhatGdalReads) {
    const auto table = readTable("dgm/gdal_grids.csv");
    ASSERT_GE(table.size(), 19u);
    for (const auto& row : table) {
        SCOPED_TRACE(row[0]);
        ElevationGrid g;
        ASSERT_TRUE(readElevationFile(testDataFile("dgm/" + row[0]), g));
        expectShape(g, cells(row, 1, 8), row[8] == "1" ? 1e-9 : 1e-6);
        expectHeights(g, row[10], 1e-3);
    }
}

// Pictures decode as GDAL decodes them: exactly, JPEG within the level or two
// decoders differ by; JPEG's white 2 x 2 marker stays on column 13, row 9.
TEST(TiffPictureRead, GivesWhatGdalReads) {
    const auto marker = [](const RgbImage& image) {
        double x = 0, y = 0, n = 0;
        for (std::size_t i = 0; i < image.width * image.height; ++i)
            if (image.rgb[3 * i] + image.rgb[3 * i + 1] + image.rgb[3 * i + 2] > 650)
                x += double(i % image.width), y += double(i / image.width), ++n;
        return std::vector<double>{std::floor(x / n), std::floor(y / n)};
    };
    for (const bool jpeg : {false, true}) {
        const auto table = readTable(jpeg ? "dgm/gdal_jpeg_pictures.csv" : "dgm/gdal_pictures.csv");
        ASSERT_GE(table.size(), 6u);
        for (const auto& row : table) {
            SCOPED_TRACE(row[0]);
            RgbImage image;
            GeoPlacement at;
            ASSERT_TRUE(readTiffPicture(testDataFile("dgm/" + row[0]), image, at));
            EXPECT_TRUE(at.known);
            EXPECT_EQ(at.epsg, 25832);
            EXPECT_EQ((std::vector<double>{double(image.width), double(image.height), at.west,
                                           at.north, at.stepX, at.stepY}),
                      cells(row, 1, 6));
            ASSERT_EQ(row[7].size(), image.rgb.size() * 2);
            double off[3] = {};
            for (std::size_t i = 0; i < image.rgb.size(); ++i)
                off[i % 3] +=
                    std::abs(std::stoi(row[7].substr(2 * i, 2), nullptr, 16) - image.rgb[i]);
            for (double sum : off)
                EXPECT_LE(sum / double(image.width * image.height), jpeg ? 3.0 : 0.0);
            if (jpeg) {
                EXPECT_EQ(marker(image), (std::vector<double>{13, 9}));
            }
        }
    }
}

// Text grids as people and tools write them; no data counted by cause
// (declared, impossible outside -1000..9000 m, named by --nodata). A point
// given twice keeps its first height; over a centimetre apart is a conflict.
TEST(ElevationRead, TextGridsAndTheirNoData) {
    const std::string asc = "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    const struct {
        const char* name;
        std::string text;
        const char* given; // --nodata
        const char* shape; // columns, rows, west, north, stepX, stepY; "": any
        const char* heights;
        const char* counts; // declared, impossible, given, conflicts, the largest
    } cases[] = {
        // Known by its keys behind a byte-order mark, whatever the ending.
        {"centre.txt",
         "\xEF\xBB\xBFNCOLS 2\r\nNRows 2\r\nXLLCENTER 10\r\nyllcenter 20\r\ndx 2\r\ndy 5\r\n"
         "1 2\r\n3 -9999\r\n",
         "", "2 2 10 25 2 5", "1 2 3 nan", "0 1 0 0 0"},
        {"values.asc",
         "ncols 3\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 4\nnodata_value -1\n1.5e2\n-1\n+7\n",
         "", "3 1 2 2 4 4", "150 nan 7", "1 0 0 0 0"},
        {"row.xyz",
         "\xEF\xBB\xBF"
         "0.0,5,1\n0.5,5,2\n\n1.5,5,4\n",
         "", "4 1 0 5 0.5 0.5", "1 2 nan 4", "1 0 0 0 0"},
        // A third of a metre, printed with three decimals.
        {"thirds.txt", "x y z\n0 0 1\n0.333 0 2\n0.667 0 3\n1 0 4\n0 0.333 5\n1 0.333 6\n", "",
         "4 2 0 0.333 0.333333333333333333 0.333", "5 nan nan 6 1 2 3 4", "2 0 0 0 0"},
        // Old Mac line ends, alone and mixed with the others.
        {"mac.xyz", "x y z\r0 0 1\r1 0 2\r0 1 3\r\n1 1 4\n", "", "2 2 0 1 1 1", "3 4 1 2",
         "0 0 0 0 0"},
        {"mac.asc", "ncols 2\rnrows 1\rxllcenter 0\ryllcenter 0\rcellsize 1\r5\r6\r", "",
         "2 1 0 0 1 1", "5 6", "0 0 0 0 0"},
        {"undeclared.asc", asc + "-9999 1e300 -2147483648\n100 -1000 9000\n", "", "",
         "nan nan nan 100 -1000 9000", "0 3 0 0 0"},
        {"declared.asc", asc + "NODATA_value -9999\n-9999 -32768 5\n1 2 3", "", "",
         "nan nan 5 1 2 3", "1 1 0 0 0"},
        // GDAL's XYZ export writes no data as a height; a missing line is a hole.
        {"gdal.xyz", "0 1 -32768\n1 1 5\n2 1 6\n0 0 7\n2 0 -3.4e38\n", "", "", "nan 5 6 7 nan nan",
         "1 2 0 0 0"},
        {"given.asc", asc + "0 12.5 12.50001\n-9999 4 5\n", "0 12.5", "",
         "nan nan 12.50001 nan 4 5", "0 1 2 0 0"},
        // A grid in degrees may touch the poles and the date line.
        {"south_west_deg.asc", quarters("xllcenter -180\nyllcenter -90"), "",
         "3 3 -180 -89.5 0.25 0.25 4326 1", "1 2 3 4 5 6 7 8 9", "0 0 0 0 0"},
        {"north_east_deg.asc", quarters("xllcenter 179.5\nyllcenter 89.5"), "",
         "3 3 179.5 90 0.25 0.25 4326 1", "1 2 3 4 5 6 7 8 9", "0 0 0 0 0"},
        // A placeholder such as -32768 is no height to keep.
        {"twice.xyz", "0 0 1\n1 0 2\n0 0 1.005\n1 0 5\n0 1 -32768\n0 1 7\n1 1 4\n1 1 4.5\n", "",
         "2 2 0 1 1 1", "7 4 1 2", "0 0 0 2 3"},
    };
    TempFolder tmp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeGrid(tmp.file(c.name), c.text);
        ElevationGrid g;
        ASSERT_TRUE(readElevationFile(tmp.file(c.name), g, {numbers(c.given)}));
        expectShape(g, numbers(c.shape), 1e-9);
        expectHeights(g, c.heights);
        const std::vector<double> found = {double(g.noData.declared), double(g.noData.impossible),
                                           double(g.noData.given), double(g.conflicts.points),
                                           g.conflicts.largest};
        EXPECT_EQ(found, numbers(c.counts));
    }
}

// An SRTM tile: placed by its name, big-endian samples, the void a hole.
TEST(ElevationRead, SrtmTilePlacedByItsName) {
    TempFolder tmp;
    ByteWriter w;
    for (int r = 0; r < 1201; ++r)
        for (int c = 0; c < 1201; ++c)
            w.u16be(static_cast<std::uint16_t>(r == 5 && c == 7 ? -32768 : r * 3 - c));
    for (const char* name : {"N47E011.hgt", "s12w077.HGT", "S12W077.dat"}) {
        SCOPED_TRACE(name);
        writeBytes(tmp.file(name), w.buffer());
        ElevationGrid g;
        ASSERT_TRUE(readElevationFile(tmp.file(name), g));
        const bool north = name[0] == 'N';
        expectShape(
            g, {1201, 1201, north ? 11. : -77., north ? 48. : -11., 1. / 1200, 1. / 1200, 4326, 1},
            0);
        EXPECT_EQ(g.heights[2 * 1201 + 1000], 2 * 3 - 1000);
        EXPECT_TRUE(std::isnan(g.heights[5 * 1201 + 7]));
        // Below -1000 m (c > 1000 + 3r): 200 - 3r points in rows 0 to 66.
        EXPECT_EQ(noData(g), (std::vector<long long>{1, 67 * 200 - 3 * (66 * 67 / 2), 0}));
    }
}

// The name gives the south-west corner; the whole tile lies on the globe.
TEST(ElevationRead, SrtmNamesOnTheGlobe) {
    const struct {
        const char* name;
        bool ok;
        int latitude, longitude;
    } cases[] = {
        {"N47E011.hgt", true, 47, 11},  {"s90w180.hgt", true, -90, -180},
        {"N89E179.hgt", true, 89, 179}, {"N90E000.hgt", false, 0, 0},
        {"N99W000.hgt", false, 0, 0},   {"N00E180.hgt", false, 0, 0},
        {"S00W181.hgt", false, 0, 0},   {"S91E000.hgt", false, 0, 0},
        {"N47E11.hgt", false, 0, 0},    {"X47E011.hgt", false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int latitude = 0, longitude = 0;
        EXPECT_EQ(srtmCorner(c.name, latitude, longitude), c.ok);
        EXPECT_EQ(latitude, c.latitude); // untouched when refused
        EXPECT_EQ(longitude, c.longitude);
    }
}

// What cannot be read is refused naming file and fault; the grid left empty.
TEST(ElevationRead, RefusesWithAMessage) {
    TempFolder tmp;
    const std::string data = testDataFile("dgm/");
    const char* const asc = "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\n";
    const char* const far =
        "%s: die Punkte spannen ein zu grosses Raster auf (ein Punkt weit abseits?)!\n";
    const char* const latitude = "%s: Breite ausserhalb von -90 bis 90 Grad!\n";
    const char* const longitude = "%s: Laenge ausserhalb von -180 bis 180 Grad!\n";
    const struct {
        std::string path;
        std::string text; // written there unless empty
        const char* message;
        std::optional<TiffFix> fix = {}; // the command the message names
    } cases[] = {
        {tmp.file("missing.tif"), "", "Can't open %s!\n"},
        {tmp.path().string(), "", "Can't open %s!\n"},
        {tmp.file("gap.xyz"), "0 0 1\n1 0 2\n2.5 0 3\n",
         "%s: die Punkte liegen auf keinem regelmaessigen Raster!\n"},
        {tmp.file("word.xyz"), "x y z\n0 0 1\n0 1 zwei\n",
         "Formatfehler in %s, Zeile 3: keine drei Zahlen x y z!\n"},
        {tmp.file("four.csv"), "0;0;1\n0;1;1;9\n",
         "Formatfehler in %s, Zeile 2: keine drei Zahlen x y z!\n"},
        {tmp.file("mixed.csv"), "0;0;1\n0,5;1.5;1\n",
         "Formatfehler in %s, Zeile 2: Dezimalpunkt und Dezimalkomma gemischt!\n"},
        {tmp.file("commas.csv"), "0,0,1\n0,5,1,0,1,5\n",
         "Formatfehler in %s, Zeile 2: Kommas trennen die Felder und die Nachkommastellen "
         "(Felder mit Semikolon trennen)!\n"},
        // A Surfer text grid is no point list, even named ".xyz".
        {tmp.file("surfer.xyz"), "DSAA\n3 2\n0 20\n0 10\n1 6\n1 2 3\n4 5 6\n",
         "%s: unbekanntes Format!\n"},
        {tmp.file("kein.tif"), "kein TIFF\n", "%s: unbekanntes Format!\n"},
        {tmp.file("one.xyz"), "0 0 1\n", "%s: zu wenig Punkte fuer ein Raster!\n"},
        {tmp.file("stray.xyz"), "0 0 1\n1 0 1\n0 1 1\n1 1 1\n1000 1000 1\n",
         "%s: die Punkte fuellen ihr Raster nicht einmal zu 1 %%!\n"},
        // One point 10^15 m away: 10^15 columns at the 1 m of the others.
        {tmp.file("far.xyz"), "0 0 1\n1 0 2\n0 1 3\n1 1 4\n1e15 0 5\n", far},
        // Two columns 10^15 m apart, the rows 1 m: as wide at 1 m.
        {tmp.file("farcolumn.xyz"), "0 0 1\n0 1 2\n0 2 3\n0 3 4\n1e15 3 5\n", far},
        {tmp.file("short.asc"), std::string(asc) + "1 2 3\n", "Formatfehler in %s!\n"},
        {tmp.file("claims.asc"),
         "ncols 10000\nnrows 1000\nxllcorner 0\nyllcorner 0\ncellsize 1\n1\n",
         "Formatfehler in %s!\n"},
        {tmp.file("long.asc"), "ncols 1\nnrows 1\nxllcorner 0\nyllcorner 0\ncellsize 1\n1 2\n",
         "Formatfehler in %s, Zeile 6!\n"},
        // A grid in degrees must lie on the globe.
        {tmp.file("south_deg.asc"), quarters("xllcorner 10\nyllcorner -105"), latitude},
        {tmp.file("north_deg.asc"), quarters("xllcorner 10\nyllcorner 89.5"), latitude},
        {tmp.file("east_deg.asc"), quarters("xllcorner 179.5\nyllcorner 0"), longitude},
        {tmp.file("west_deg.asc"), quarters("xllcorner -181\nyllcorner 0"), longitude},
        {tmp.file("tile.hgt"), std::string(2 * 1201 * 1201, '\0'),
         "%s: der Name gibt die Lage nicht an (z.B. N47E011.hgt)!\n"},
        {tmp.file("nothing.bin"), std::string("\0\1\2\3", 4), "%s: unbekanntes Format!\n"},
        {data + "bad_N47E011.hgt", "", "Formatfehler in %s!\n"},
        {data + "bad_three_bands.tif", "",
         "%s: mehrere Baender (3) werden nicht unterstuetzt (umwandeln mit: %s)!\n",
         TiffFix::OneBand},
        {data + "bad_jpeg.tif", "",
         "%s: JPEG-Kompression ist fuer Hoehen zu ungenau und wird nicht unterstuetzt!\n"},
        {data + "bad_rotated.tif", "",
         "%s: gedrehtes oder gespiegeltes Raster wird nicht unterstuetzt (umwandeln mit: %s)!\n",
         TiffFix::NorthUp},
        {data + "bad_no_georeference.tif", "", "%s: keine Georeferenz!\n"},
        {data + "bad_complex.tif", "",
         "%s: Werte mit 32 Bit im Sampleformat komplex werden nicht unterstuetzt (umwandeln mit: "
         "%s)!\n",
         TiffFix::Float32},
        {data + "bad_zstd.tif", "",
         "%s: Kompression ZSTD wird nicht unterstuetzt (umwandeln mit: %s)!\n",
         TiffFix::Recompress},
        {data + "bad_lerc.tif", "",
         "%s: Kompression LERC wird nicht unterstuetzt (umwandeln mit: %s)!\n",
         TiffFix::Recompress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (!c.text.empty()) writeGrid(c.path, c.text);
        ElevationGrid g;
        g.columns = 3;
        MessageCapture shown;
        EXPECT_FALSE(readElevationFile(c.path, g));
        const std::string want =
            c.fix ? formatText(c.message, c.path.c_str(), tiffRecipe(*c.fix, c.path).c_str())
                  : formatText(c.message, c.path.c_str());
        EXPECT_EQ(shown.messages, std::vector<std::string>{want});
        EXPECT_TRUE(g.columns == 0 && g.rows == 0 && g.heights.empty());
    }
    // Heights are no picture; the picture given is cleared.
    RgbImage image;
    image.width = 4;
    GeoPlacement at;
    MessageCapture shown;
    EXPECT_FALSE(readTiffPicture(data + "f32_strips.tif", image, at));
    EXPECT_EQ(shown.messages.back(),
              data +
                  "f32_strips.tif: Farbmodell Grau mit 1 Baendern zu 32 Bit wird nicht "
                  "unterstuetzt (umwandeln mit: " +
                  tiffRecipe(TiffFix::Byte, data + "f32_strips.tif") + ")!\n");
    // The command names the file and a new one beside it.
    EXPECT_EQ(tiffRecipe(TiffFix::Recompress, "a b/z.tif"),
              "gdal_translate -co COMPRESS=DEFLATE \"a b/z.tif\" \"a b/z_neu.tif\"");
    EXPECT_EQ(image.width, 0u);
#ifndef _WIN32
    // A FIFO would block the reader until someone writes to it.
    ASSERT_EQ(mkfifo(tmp.file("pipe.xyz").c_str(), 0600), 0);
    EXPECT_FALSE(readTiffPicture(tmp.file("pipe.xyz"), image, at));
    ElevationGrid g;
    EXPECT_FALSE(readElevationFile(tmp.file("pipe.xyz"), g));
    EXPECT_EQ(shown.messages.back(), tmp.file("pipe.xyz") + " ist keine Datei!\n");
#endif
}

// No height in a GeoTIFF is no data by cause: GDAL's mask tells what is
// declared ("nd"), every other value outside -1000..9000 m is impossible.
TEST(ElevationRead, WhatIsNoHeightIsNoData) {
    const auto table = readTable("dgm/gdal_outliers.csv");
    ASSERT_EQ(table.size(), 4u);
    for (const auto& row : table) {
        SCOPED_TRACE(row[0]);
        ElevationGrid g;
        ASSERT_TRUE(readElevationFile(testDataFile("dgm/" + row[0]), g));
        ASSERT_EQ(g.heights.size(), std::stoul(row[1]) * std::stoul(row[2]));
        std::istringstream in(row[3]);
        long long declared = 0, impossible = 0;
        std::size_t i = 0;
        for (std::string word; in >> word && i < g.heights.size(); ++i) {
            const double v = word == "nd" ? 0.0 : word == "nan" ? NAN : std::stod(word);
            const bool possible = word != "nd" && v >= -1000 && v <= 9000;
            declared += word == "nd" ? 1 : 0;
            impossible += word != "nd" && !possible ? 1 : 0;
            EXPECT_TRUE(possible ? g.heights[i] == toSingle(v) : std::isnan(g.heights[i]))
                << i << ": " << g.heights[i];
        }
        EXPECT_EQ(i, g.heights.size());
        EXPECT_EQ(noData(g), (std::vector<long long>{declared, impossible, 0}));
    }
    // Values given as no data compare in single precision, as stored.
    ElevationGrid g;
    ASSERT_TRUE(readElevationFile(testDataFile("dgm/f64_outliers.tif"), g, {{8999.999, 100}}));
    EXPECT_EQ(noData(g), (std::vector<long long>{0, 5, 2}));
}

// A PackBits run must end inside its strip: strip 1's byte count may say
// less than the run the file holds, and the rest must not be read.
TEST(ElevationRead, PackBitsRunsStayInTheirStrip) {
    const struct {
        std::string run;     // a literal run of 4 (20 to 23), a repeat run of 4 (30)
        std::uint32_t count; // strip 1's byte count
        std::uint8_t row;    // strip 1's first value; 0: refused
    } cases[] = {{"\x03\x14\x15\x16\x17", 5, 20},
                 {"\x03\x14\x15\x16\x17", 3, 0},
                 {"\xFD\x1E", 2, 30},
                 {"\xFD\x1E", 1, 0}};
    TempFolder tmp;
    const std::string path = tmp.file("runs.tif");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ByteWriter w;
        w.bytes("II*\0\x08\0\0\0\x0B\0", 10); // the IFD at 8, of 11 entries
        // Tag, type, count, value or offset (a SHORT in its first two bytes):
        // 4 x 2 bytes, PackBits, one row a strip, the strips' offsets and counts.
        const std::uint32_t entries[11][4] = {
            {256, 3, 1, 4},   {257, 3, 1, 2},      {258, 3, 1, 8},     {259, 3, 1, 32773},
            {262, 3, 1, 1},   {273, 4, 2, 146},    {277, 3, 1, 1},     {278, 3, 1, 1},
            {279, 4, 2, 154}, {33550, 12, 3, 162}, {33922, 12, 6, 186}};
        for (const auto& e : entries)
            w.u16(std::uint16_t(e[0])), w.u16(std::uint16_t(e[1])), w.u32(e[2]), w.u32(e[3]);
        for (std::uint32_t v : {0u, 234u, 239u, 5u, c.count}) // next IFD, offsets, counts
            w.u32(v);
        for (double v : {10.0, 10.0, 0.0, 0.0, 0.0, 0.0, 500000.0, 5600020.0, 0.0})
            w.f64(v);
        w.bytes("\x03\x0A\x0B\x0C\x0D", 5); // strip 0: 10 11 12 13
        w.bytes(c.run.data(), c.run.size());
        writeBytes(path, w.buffer());
        ElevationGrid g;
        MessageCapture shown;
        EXPECT_EQ(readElevationFile(path, g) ? g.heights.at(4) : 0.0f, c.row);
        EXPECT_EQ(shown.messages,
                  c.row ? std::vector<std::string>{}
                        : std::vector{formatText("Formatfehler in %s!\n", path.c_str())});
    }
}

// "\n", "\r\n" or "\r" end lines, also a "\r" ending a 1 MiB chunk read.
TEST(TextLines, EveryLineEnd) {
    const std::string longLine(std::size_t{1} << 20, 'a');
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\nb\r\nc\rd\r\re", {"a", "b\r", "c", "d", "", "e"}},
        {"a\r\r\n\r", {"a", "\r", ""}},
        {"x\n" + longLine.substr(3) + "\r\ny\r", {"x", longLine.substr(3) + "\r", "y"}},
        {"x\n" + longLine.substr(3) + "\ry", {"x", longLine.substr(3), "y"}},
    };
    TempFolder tmp;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 16));
        writeText(tmp.file("lines.txt"), c.text);
        FileSource file;
        ASSERT_EQ(file.open(tmp.file("lines.txt")), InputProblem::None);
        TextLines lines(file);
        std::vector<std::string> got;
        for (std::string_view line; lines.next(line);)
            got.emplace_back(line);
        EXPECT_EQ(got, c.lines);
        EXPECT_EQ(lines.lineForMessage(), c.lines.size());
        EXPECT_EQ(lines.consumed(), c.text.size());
    }
}

// A BigTIFF reads as its classic twin, decimal commas as decimal points.
TEST(ElevationRead, TwinsReadAlike) {
    for (const auto& [name, twin] : {std::pair{"big_f32_msb.tif", "f32_strips.tif"},
                                     std::pair{"terrain_komma.csv", "terrain.xyz"}}) {
        SCOPED_TRACE(name);
        ElevationGrid g, t;
        ASSERT_TRUE(readElevationFile(testDataFile(std::string("dgm/") + name), g));
        ASSERT_TRUE(readElevationFile(testDataFile(std::string("dgm/") + twin), t));
        expectShape(g, {double(t.columns), double(t.rows), t.west, t.north, t.stepX, t.stepY}, 0);
        EXPECT_EQ(0, std::memcmp(g.heights.data(), t.heights.data(), t.heights.size() * 4));
    }
}

// What an input is for, by its content before its name.
TEST(InputRole, ByContentThenName) {
    TempFolder tmp;
    writeText(tmp.file("kaputt.tif"), std::string("II*\0\xff\xff\xff\x7f", 8));
    const struct {
        std::string path;
        InputRole role;
    } cases[] = {
        {testDataFile("dgm/pic_rgb.tif"), InputRole::Picture},
        {testDataFile("dgm/jpeg_ycbcr_tiled.tif"), InputRole::Picture},
        {testDataFile("dgm/big_jpeg_twin.tif"), InputRole::Picture},
        {testDataFile("dgm/pic_palette.png"), InputRole::Picture},
        {testDataFile("dgm/pic_grey.tif"), InputRole::Heights}, // one 8-bit band
        {testDataFile("dgm/f32_strips.tif"), InputRole::Heights},
        {testDataFile("dgm/terrain.xyz"), InputRole::Heights},
        {tmp.file("fehlt.JPG"), InputRole::Picture},
        {tmp.file("kaputt.tif"), InputRole::Unknown},
    };
    MessageCapture shown;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(roleOf(c.path), c.role);
    }
    EXPECT_TRUE(shown.messages.empty());
}

// A sparse 5 GiB BigTIFF, its strip past 4 GiB: read by IFD and strip only.
TEST(ElevationRead, BigTiffBeyondFourGigabytes) {
    TempFolder tmp;
    const std::string path = tmp.file("gross.tif");
    const std::uint64_t strip = (std::uint64_t{1} << 32) + 8;
    ByteWriter w;
    w.bytes("II+\0\x08\0\0\0", 8);
    w.u64(16); // the IFD, of 12 entries
    w.u64(12);
    const std::uint64_t entries[12][4] = {{256, 3, 1, 2}, {257, 3, 1, 2},      {258, 3, 1, 32},
                                          {259, 3, 1, 1}, {262, 3, 1, 1},      {273, 16, 1, strip},
                                          {277, 3, 1, 1}, {278, 3, 1, 2},      {279, 16, 1, 16},
                                          {339, 3, 1, 3}, {33550, 12, 3, 272}, {33922, 12, 6, 296}};
    for (const auto& e : entries)
        w.u16(std::uint16_t(e[0])), w.u16(std::uint16_t(e[1])), w.u64(e[2]), w.u64(e[3]);
    for (double v : {0.0, 10.0, 10.0, 0.0, 0.0, 0.0, 0.0, 500000.0, 5600020.0, 0.0})
        w.f64(v); // no next IFD, then the scale and the tie point
    writeBytes(path, w.buffer());
    std::filesystem::resize_file(std::filesystem::path(path), std::uint64_t{5} << 30);
    {
        std::fstream out(std::filesystem::path(path),
                         std::ios::in | std::ios::out | std::ios::binary);
        out.seekp(static_cast<std::streamoff>(strip));
        const float heights[4] = {1, 2, 3, 4};
        out.write(reinterpret_cast<const char*>(heights), sizeof heights);
        ASSERT_TRUE(out.good());
    }
    ElevationGrid g;
    ASSERT_TRUE(readElevationFile(path, g));
    expectShape(g, {2, 2, 500005, 5600015, 10, 10}, 0);
    expectHeights(g, "1 2 3 4");
}

// Generated numbers read bit for bit as std::from_chars reads them (which
// takes no "+"); what is no number is refused.
TEST(ElevationRead, NumbersAsFromCharsReadsThem) {
    // At most: zeros, digits, fraction digits, exponent (fast path: 16, 22).
    const int forms[][4] = {{0, 7, 3, 0},  {3, 4, 4, 0},  {0, 0, 19, 0},
                            {0, 22, 6, 0}, {1, 9, 9, 30}, {2, 3, 12, 99}};
    std::mt19937 random(20);
    const auto upTo = [&](int n) { return std::uniform_int_distribution<int>(0, n)(random); };
    std::string text;
    const auto digits = [&](int n) {
        for (; n > 0; --n)
            text += static_cast<char>('0' + upTo(9));
    };
    for (const auto& f : forms) {
        for (int i = 0; i < 1000; ++i) {
            text.clear();
            if (const int sign = upTo(2)) text += sign == 1 ? '-' : '+';
            const std::size_t before = text.size();
            text.append(static_cast<std::size_t>(upTo(f[0])), '0');
            digits(upTo(f[1]));
            const bool integer = text.size() > before;
            if (!integer || upTo(1)) {
                text += '.';
                digits(upTo(f[2]) + !integer);
            }
            if (f[3] && upTo(1)) {
                text += upTo(1) ? "e" : "E-";
                text += std::to_string(upTo(f[3]));
            }
            const bool sign = text[0] == '-' || text[0] == '+';
            const char* end = text.data() + text.size();
            double expected = 0, got = 0;
            const auto [ptr, ec] = std::from_chars(text.data() + sign, end, expected);
            ASSERT_TRUE(ec == std::errc() && ptr == end) << text;
            if (text[0] == '-') expected = -expected;
            ASSERT_EQ(scanNumber(text.data(), end, got), end) << text;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected))
                << text;
        }
    }
    for (const char* bad : {"", "-", ".", "e5", "1e", "nan"}) {
        double v = 0;
        EXPECT_EQ(scanNumber(bad, bad + std::strlen(bad), v), nullptr) << bad;
    }
}
