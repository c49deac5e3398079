// zumt_dgm beyond the heights: colours, world files, settings, whole runs.
#include "common/bytes.h"
#include "dgm/colour_picture.h"
#include "dgm/dgm_program.h"
#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "platform/platform.h"
#include "raster/bitmap_file.h"
#include "raster/hillshade.h"
#include "raster/terrain_tiling.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

namespace {

const std::uint8_t Grey[3] = {100, 100, 100}, Red[3] = {250, 0, 0};

bool pixelIs(const ColourCanvas& canvas, std::size_t c, std::size_t r, const std::uint8_t* rgb) {
    const std::uint8_t* p = canvas.rgb.data() + (r * canvas.width + c) * 3;
    return p[0] == rgb[0] && p[1] == rgb[1] && p[2] == rgb[2];
}

PlacedPicture picture(std::size_t w, std::size_t h, const std::uint8_t* fill) {
    PlacedPicture p;
    p.image.width = w;
    p.image.height = h;
    for (std::size_t k = 0; k < w * h; ++k)
        p.image.rgb.insert(p.image.rgb.end(), fill, fill + 3);
    return p;
}

// Runs zumt_dgm (quietly) with these arguments; the exit code.
int runDgm(std::vector<std::string> args, bool quiet = true) {
    args.insert(args.begin(), quiet ? "-q" : "--raster");
    if (!quiet) args.insert(args.begin() + 1, "10");
    args.insert(args.begin(), "zumt_dgm");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return dgmMain(static_cast<int>(argv.size()), argv.data());
}

std::string dgmFile(const std::string& name) {
    return testDataFile("dgm/" + name);
}

const char* const SmallGrid =
    "ncols 3\nnrows 2\nxllcorner 100\nyllcorner 200\ncellsize 10\n1 2 3\n4 5 6\n";

// An ASCII grid of w x h points of `cell` metres.
std::string ascGrid(int w, int h, double cell) {
    std::string s =
        formatText("ncols %d\nnrows %d\nxllcorner 0\nyllcorner 0\ncellsize %g\n", w, h, cell);
    for (int r = 0; r < h; ++r, s += "\n")
        for (int c = 0; c < w; ++c)
            s += formatText("%d ", 100 + c * r % 7);
    return s;
}

} // namespace

TEST(DgmColour, ReadsTheWorldFileBesideThePicture) {
    struct Case {
        const char* file;
        const char* text;
        WorldFile found;
        double west;  // of the pixels' outer corner
        double north; // of the pixels' outer corner
        const char* error;
    } cases[] = {
        {"foto.pgw", "2\n0\n0\n-2\n101\n199\n", WorldFile::Read, 100.0, 200.0, ""},
        {"foto.PGW", "2\n0\n0\n-2\n101\n199\n", WorldFile::Read, 100.0, 200.0, ""},
        {"foto.wld", "0.5 0 0 -0.5 10.25 20", WorldFile::Read, 10.0, 20.25, ""},
        {"foto.pgw", "2\n0.1\n0\n-2\n101\n199\n", WorldFile::Refused, 0.0, 0.0, "Gedrehtes Bild"},
        {"foto.pgw", "2\n0\n0\n", WorldFile::Refused, 0.0, 0.0, "Formatfehler"},
        {"anders.pgw", "2\n0\n0\n-2\n101\n199\n", WorldFile::None, 0.0, 0.0, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        TempFolder dir;
        writeText(dir.file(k.file), k.text);
        GeoPlacement at;
        MessageCapture shown;
        EXPECT_EQ(readWorldFile(dir.file("foto.png"), at), k.found);
        const std::string message = shown.messages.empty() ? "" : shown.messages[0];
        EXPECT_EQ(message.find(k.error), 0u) << message;
        EXPECT_EQ(at.west, k.west);
        EXPECT_EQ(at.north, k.north);
    }
}

// The test pictures (7 x 5 pixels of 10 m from 500000, 5600050) as canvas;
// pic_palette.png, without a world file, spans it.
ColourCanvas paintedAlone(const PlacedPicture& p) {
    const TerrainPlace place{8, 6, 500005.0, 5600055.0, 10.0, MetricFrame{}};
    ColourCanvas canvas = canvasFor(place);
    EXPECT_EQ(paintPicture(canvas, place, p), 35u);
    return canvas;
}

TEST(DgmColour, PicturesShowTheirBandsAsChosen) {
    const struct {
        const char* file;
        BandChoice choice;
        const char* twin; // read with the default choice
        int from[3];      // the twin's channels that are red, green, blue
        unsigned bands;   // of the file
        bool grey;
        const char* error; // "": read
    } cases[] = {
        // Six bands, tagged grey: the first three are red, green, blue.
        {"pic_six_bands.tif", {}, "pic_rgb.tif", {0, 1, 2}, 6, false, ""},
        {"pic_six_bands_u16.tif", {}, "pic_rgb.tif", {0, 1, 2}, 6, false, ""},
        {"pic_six_bands.tif", {4, 5, 6}, "pic_rgb.tif", {1, 2, 0}, 6, false, ""},
        {"pic_six_bands_u16.tif", {4, 5, 6}, "pic_rgb.tif", {1, 2, 0}, 6, false, ""},
        {"pic_six_bands.tif", {3, 3, 3}, "pic_rgb.tif", {2, 2, 2}, 6, true, ""},
        {"pic_six_bands.tif", {1, 2, 7}, "", {}, 0, false, "Band 7 gibt es nicht (Baender: 6)!"},
        {"pic_rgb.tif", {0, 1, 2}, "", {}, 0, false, "Band 0 gibt es nicht (Baender: 3)!"},
        // One band (pic_grey.tif is the green band): grey, and said so.
        {"pic_grey.tif", {}, "pic_rgb.tif", {1, 1, 1}, 1, true, ""},
        {"pic_grey.tif", {1, 1, 2}, "", {}, 0, false, "Band 2 gibt es nicht (Baender: 1)!"},
        // Palettes keep their colours, in a TIFF and in a PNG.
        {"pic_palette.tif", {1, 1, 1}, "pic_palette.tif", {0, 1, 2}, 1, false, ""},
        {"pic_palette.png", {}, "pic_palette.tif", {0, 1, 2}, 3, false, ""},
        {"pic_palette.png", {3, 2, 4}, "", {}, 0, false, "Band 4 gibt es nicht (Baender: 3)!"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::string(k.file) + " " + std::to_string(k.choice.red) + "," +
                     std::to_string(k.choice.green) + "," + std::to_string(k.choice.blue));
        const std::string path = testDataFile(std::string("dgm/") + k.file);
        PlacedPicture got;
        MessageCapture shown;
        const bool read = readPlacedPicture(path, got, k.choice);
        if (*k.error) {
            EXPECT_FALSE(read);
            EXPECT_EQ(shown.messages, std::vector<std::string>{path + ": " + k.error + "\n"});
            continue;
        }
        ASSERT_TRUE(read);
        EXPECT_EQ(got.image.bands, k.bands);
        EXPECT_EQ(got.image.grey, k.grey);
        PlacedPicture want;
        ASSERT_TRUE(readPlacedPicture(testDataFile(std::string("dgm/") + k.twin), want));
        const std::vector<std::uint8_t> twin = want.image.rgb;
        for (std::size_t i = 0; i < twin.size(); ++i)
            want.image.rgb[i] = twin[i - i % 3 + static_cast<std::size_t>(k.from[i % 3])];
        EXPECT_EQ(paintedAlone(got).rgb, paintedAlone(want).rgb);
    }
}

// Where no picture lies the ground shows its shaded relief, the preview's.
TEST(DgmColour, UncoveredGroundGetsTheShadedRelief) {
    // 5 x 5 points, 10 m apart, from 0, 40: a canvas of 4 x 4 pixels.
    RowGrid terrain;
    terrain.columns = 5, terrain.north = 40.0, terrain.stepX = terrain.stepY = 10.0;
    for (int g = 0; g < 5; ++g) {
        terrain.rows.emplace_back();
        for (int c = 0; c < 5; ++c)
            terrain.rows.back().push_back(static_cast<float>(300 + 4 * c * c - 9 * g + (c ^ g)));
    }
    const TerrainPlace place{5, 5, 0.0, 40.0, 10.0, MetricFrame{}};
    ColourCanvas canvas = canvasFor(place);
    // A red picture over the western half: columns 0 and 1.
    PlacedPicture west = picture(2, 4, Red);
    west.placement = GeoPlacement{true, -5.0, 35.0, 10.0, 10.0, false, 0};
    EXPECT_EQ(paintPicture(canvas, place, west), 8u);
    EXPECT_EQ(coveredPercent(canvas), 50.0);
    EXPECT_EQ(shadeUncovered(canvas, terrain), 8u);
    EXPECT_EQ(coveredPercent(canvas), 50.0);
    const ColourCanvas relief = shadedRelief(terrain);
    EXPECT_EQ(coveredPercent(relief), 0.0);

    const double low = 300 - 36 + 4, high = 300 + 64 + 4; // at (0, 4) and (4, 0)
    std::vector<double> factors(5);
    for (std::size_t r = 0; r < 4; ++r) {
        const std::size_t g = 4 - r; // from the north
        shadeRow(terrain.rows[g - 1].data(), terrain.rows[g].data(),
                 g < 4 ? terrain.rows[g + 1].data() : nullptr, 5, 10.0, factors.data());
        for (std::size_t c = 0; c < 4; ++c) {
            const ReliefColour k =
                shadedColour(rampColour((terrain.rows[g][c] - low) / (high - low)), factors[c]);
            const std::uint8_t shaded[3] = {k.red, k.green, k.blue};
            EXPECT_TRUE(pixelIs(relief, c, r, shaded)) << c << "," << r;
            EXPECT_TRUE(pixelIs(canvas, c, r, c < 2 ? Red : shaded)) << c << "," << r;
        }
    }
    // A terrain that is not the canvas's is left alone.
    terrain.rows.pop_back();
    EXPECT_EQ(shadeUncovered(canvas, terrain), 0u);
}

TEST(DgmSettings, SetsTheTerrainAndKeepsEveryOtherLine) {
    SettingsFile s;
    s.parse("[Kopf]\r\na=1\r\n[Terrain1]\r\nName=Alt\r\nFaktor=2.5\r\nHoehe=x.bmp\r\n"
            "[Sonst]\r\nb=2\r\n");
    TerrainSettings t{"g.ter", "g_farbe.bmp", "g", 1000, 500000.0, 5400000.0, false, 25832};
    applyTerrainSettings(s, t);
    EXPECT_EQ(s.serialize(), "[Kopf]\r\na=1\r\n\r\n[Terrain1]\r\nName=Alt\r\nFaktor=2.5\r\n"
                             "Hoehe=g.ter\r\nFarbe=g_farbe.bmp\r\nKachelgroesse=400.00\r\n"
                             "Kachelabstand=200.00\r\n\r\n[Sonst]\r\nb=2\r\n\r\n[Georeferenz]\r\n"
                             "Rechts=500000.000\r\nHoch=5400000.000\r\nEinheit=Meter\r\n"
                             "EPSG=25832\r\nRaster=10.00\r\n");

    // The generator reads back the tile chosen (largestTileSteps).
    for (std::int32_t stepCm : {100, 29, 7, 50000}) {
        SCOPED_TRACE(stepCm);
        t.stepCm = stepCm;
        applyTerrainSettings(s, t);
        const std::int32_t tile = largestTileSteps(stepCm, 40000);
        const TileLengths back = tileLengths(readTerrainValues(s));
        EXPECT_EQ(back.halfTileCm / stepCm, tile / 2);
        EXPECT_EQ(back.spacingCm / stepCm, tile / 2);
    }
    EXPECT_EQ(nameForSettings("a\\b\\g.ter", "a\\b\\X.danl"), "g.ter");
    EXPECT_EQ(nameForSettings("\\t\\g.ter", "a\\X.danl"), "\\t\\g.ter");
}

// A photo's red marker colours its grid point (from the south-west): the
// worked example's, and one in degrees on zone 32 (corner: sys_points.csv).
TEST(DgmProgram, PhotosColourTheGridPointsTheyLieOn) {
    const std::string ex = testDataFile("../../examples/");
    const std::vector<std::string> example = {"--raster",        "10",
                                              "--farbe",         ex + "luftbild.png",
                                              ex + "dgm_sw.xyz", ex + "dgm_so.xyz",
                                              ex + "dgm_nw.xyz", ex + "dgm_no.xyz"};
    const std::vector<std::string> degrees = {dgmFile("sys_utm32.tif"), "--farbe",
                                              dgmFile("sys_photo_deg.tif")};
    const struct {
        const std::vector<std::string>& args;
        int size, c, r, apart; // of the square bitmap; the marker; its neighbours
        std::vector<std::pair<const char*, double>> georeference;
    } cases[] = {{example, 256, 128, 225, 6, {{"Hoch", 5400000.0}}},
                 {degrees, 29, 12, 17, 1, {{"Laenge", 12.0002509691}, {"Breite", 50.0004971252}}}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.size);
        TempFolder dir;
        std::vector<std::string> args = k.args;
        args.insert(args.end(), {"--anlage", dir.file("A.danl"), "-o", dir.file("a.ter")});
        MessageCapture shown;
        ASSERT_EQ(runDgm(args), 0);
        EXPECT_TRUE(shown.messages.empty());
        BitmapFile bmp;
        ASSERT_EQ(bmp.read(dir.file("a_farbe.bmp")), 1);
        ASSERT_EQ(bmp.width, k.size);
        ASSERT_EQ(bmp.height, k.size);
        auto redAt = [&](int c, int r) { return bmp.pixels.data()[r * bmp.stride + c * 3 + 2]; };
        EXPECT_GT(redAt(k.c, k.r), 200);
        for (const auto& [c, r] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}})
            EXPECT_LT(redAt(k.c + c * k.apart, k.r + r * k.apart), 200) << c << " " << r;
        SettingsFile s;
        s.read(dir.file("A.danl"), true);
        EXPECT_EQ(*s.find("Terrain1", "Hoehe"), "a.ter");
        EXPECT_EQ(*s.find("Terrain1", "Farbe"), "a_farbe.bmp");
        for (const auto& [key, value] : k.georeference)
            EXPECT_NEAR(std::stod(*s.find("Georeferenz", key)), value, 1e-8) << key;
    }
}

// A Huffman table claiming 300 codes (256 exist) is refused before decoding.
TEST(DgmColour, OverfullJpegTableRefused) {
    TempFolder dir;
    // SOI, DHT of 2 + 17 + 300 bytes (counts 255 and 45), EOI.
    std::vector<std::uint8_t> jpeg(325, 0);
    const std::uint8_t head[] = {0xFF, 0xD8, 0xFF, 0xC4, 0x01, 0x3F, 0x00, 255, 45};
    std::copy(std::begin(head), std::end(head), jpeg.begin());
    jpeg[323] = 0xFF;
    jpeg[324] = 0xD9;
    writeBytes(dir.file("bild.jpg"), jpeg);
    PlacedPicture picture;
    MessageCapture shown;
    EXPECT_FALSE(readPlacedPicture(dir.file("bild.jpg"), picture));
    EXPECT_EQ(shown.messages.back(),
              "Bild nicht lesbar: " + dir.file("bild.jpg") + " (Corrupt JPEG)!\n");
}

// Dropped together: the JPEG ".tif" gives colours, the other one heights.
TEST(DgmProgram, DroppedTiffsSortedByContent) {
    TempFolder dir;
    const std::string ter = dir.file("t.ter");
    ASSERT_EQ(runDgm({testDataFile("dgm/jpeg_ycbcr_strips.tif"), testDataFile("dgm/f32_strips.tif"),
                      "-o", ter}),
              0);
    BitmapFile bmp;
    EXPECT_EQ(bmp.read(dir.file("t_farbe.bmp")), 1);
}

// The outputs change as one set: a settings file that cannot be read (never
// replaced by our few keys), an unreadable picture, a read-only target or an
// output that is also an input leaves every old output as it was.
TEST(DgmProgram, OutputsChangeAsOneSet) {
    TempFolder dir;
    writeText(dir.file("a.asc"), SmallGrid);
    writeText(dir.file("bild.png"), "kein Bild");
    std::filesystem::create_directory(dir.file("O.danl"));
    for (const char* name : {"t.ter", "t_farbe.bmp"})
        writeText(dir.file(name), "alt");
    const std::string a = dir.file("a.asc"), ter = dir.file("t.ter"), danl = dir.file("T.danl");
    const std::string bmp = dir.file("t_farbe.bmp"), png = dir.file("bild.png");
    const std::string folder = dir.file("O.danl");
    const struct {
        std::vector<std::string> args;
        std::string message;          // its start
        std::string settings = "alt"; // in T.danl
    } runs[] = {
        {{a, "--farbe", png, "--anlage", danl, "-o", ter}, "Bild nicht lesbar: " + png},
        {{a, "--farbe", bmp, "-o", ter}, bmp + " ist zugleich Eingabe und Ausgabe!\n"},
        {{a, "--anlage", danl, "-o", ter},
         danl + " ist keine Textdatei!\n",
         std::string("\xFF\xFE[\0T\0]\0", 8)},
        {{a, "--anlage", danl, "-o", ter},
         danl + " ist keine Textdatei!\n",
         std::string("[Terrain1]\r\nName=A\0B\r\n", 22)},
        {{a, "--anlage", danl, "-o", ter},
         danl + " ist zu gross!\n",
         std::string(SettingsFile::LargestFile + 1, 'x')},
        {{a, "--anlage", folder, "-o", ter}, "Can't open " + folder + "!\n"},
#ifndef _WIN32
        // The read-only mode refuses even for root.
        {{a, "--anlage", danl, "-o", ter}, "Can't open " + danl + ": schreibgeschuetzt!\n"},
#endif
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.message);
        writeText(danl, run.settings);
        if (run.message.find("schreibgeschuetzt") != std::string::npos)
            std::filesystem::permissions(danl, std::filesystem::perms::owner_read);
        MessageCapture shown;
        EXPECT_EQ(runDgm(run.args), 1);
        ASSERT_EQ(shown.messages.size(), 1u);
        EXPECT_EQ(shown.messages[0].rfind(run.message, 0), 0u) << shown.messages[0];
        EXPECT_EQ(readText(danl), run.settings);
        for (const char* name : {"t.ter", "t_farbe.bmp"})
            EXPECT_EQ(readText(dir.file(name)), "alt") << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator()),
                  6);
    }
}

TEST(DgmSettings, KeepsTheUsersTileLengthsWhileTheyFit) {
    using enum TileSource;
    for (auto [keys, stepCm, source, size] :
         {std::tuple{"", 100, Ours, "80.00"},
          {"Kachelgroesse=60\nKachelabstand=30\n", 100, Kept, "60"},
          {"Kachelgroesse=120\nKachelabstand=60\n", 100, Replaced, "80.00"},
          {"Kachelgroesse=400\n", 10, Replaced, "8.00"},  // no tile on 100 m
          {"Kachelabstand=0.05\n", 10, Replaced, "8.00"}, // below a step
          // What an earlier run wrote for its 20 m step is ours to change.
          {"Kachelgroesse=400.00\nKachelabstand=200.00\n[Georeferenz]\nRaster=20.00", 100, Ours,
           "80.00"}}) {
        SCOPED_TRACE(keys);
        SettingsFile s;
        s.parse(std::string("[Terrain1]\n") + keys);
        TerrainSettings t{"g.ter", "", "g", stepCm};
        t.gridWidth = t.gridHeight = 1000;
        EXPECT_EQ(applyTerrainSettings(s, t).source, source);
        EXPECT_EQ(*s.find("Terrain1", "Kachelgroesse"), size);
    }
}

// Shaded colour, outputs named after the dropped ".danl", the forecast kept.
TEST(DgmProgram, ForecastsWhatTheGeneratorWritesFromTheShadedColour) {
    const std::filesystem::path before = std::filesystem::current_path();
#ifndef _WIN32
    unsetenv("ZUMT_HOST_DIR");
#endif
    for (auto [w, h] : {std::pair{61, 41}, std::pair{58, 37}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        TempFolder dir;
        writeText(dir.file("dgm_no.asc"), ascGrid(w, h, 10.0));
        testing::internal::CaptureStdout();
        ASSERT_EQ(runDgm({dir.file("dgm_no.asc"), dir.file("Meine.danl")}, false), 0);
        const std::string summary = testing::internal::GetCapturedStdout();
        SettingsFile s;
        s.read(dir.file("Meine.danl"), true);
        EXPECT_EQ(s.serialize().find("[Terrain1]\r\nHoehe=Meine.ter\r\nFarbe=Meine_farbe.bmp\r\n"
                                     "Name=Meine\r\n"),
                  0u);
        changeFolder(dir.path().string());
        forgetHostFolder();
        EXPECT_EQ(generateTiles(readTerrainValues(s), std::nullopt), 1);
        changeFolder(before.string());
        JobForecast made{0, 0, (w - 1) * (h - 1) / 1e4};
        for (const auto& e : std::filesystem::directory_iterator(dir.path() / "Meine"))
            ++made.tiles, made.modelBytes += e.file_size();
        EXPECT_EQ(terrainForecast(w - 1, h - 1, 1000, ourTileLengths(1000))->modelBytes,
                  made.modelBytes);
        EXPECT_NE(summary.find("Vorhersage:  " + forecastText(made)), std::string::npos) << summary;
    }
}

TEST(DgmProgram, LargeJobsNameAWayDownThatWorks) {
    // 2.56 km at 1 m: 4096 tiles of 80 m; at 2 m 1024, at 2.5 m below 1000.
    EXPECT_EQ(reduceJob(2560, 2560, 100, {ourTileLengths(100), TileSource::Ours, {}}).rasterCm,
              250);
    // Applied: the user's tiles of 2 m make 1600 on 40 m, the cut fewer.
    TempFolder dir;
    writeText(dir.file("a.asc"), ascGrid(41, 41, 1.0));
    writeText(dir.file("X.danl"), "[Terrain1]\nKachelgroesse=2\nKachelabstand=1\n");
    std::vector<std::string> args = {dir.file("a.asc"), dir.file("X.danl"), "--raster", "1"};
    MessageCapture shown;
    ASSERT_EQ(runDgm(args), 0);
    ASSERT_EQ(shown.warnings.size(), 1u);
    std::istringstream words(shown.warnings[0].substr(shown.warnings[0].find("--ausschnitt")));
    args.resize(args.size() + 5);
    for (auto k = args.size() - 5; k < args.size(); ++k)
        words >> args[k];
    shown.reset();
    EXPECT_EQ(runDgm(args), 0);
    EXPECT_TRUE(shown.warnings.empty()) << shown.warnings[0];
}

// A shading never replaces a photo's bitmap; a fitting "Farbe" stays.
TEST(DgmProgram, AShadedColourNeverReplacesAPhoto) {
    TempFolder dir;
    writeText(dir.file("a.asc"), SmallGrid);
    const std::string a = dir.file("a.asc"), danl = dir.file("X.danl");
    // An earlier shading is shaded anew: the heights may have changed.
    ASSERT_EQ(runDgm({a, danl}), 0);
    const std::vector<std::uint8_t> shading = readBytes(dir.file("X_farbe.bmp"));
    std::string other = SmallGrid;
    writeText(a, other.replace(other.size() - 6, 1, "9"));
    ASSERT_EQ(runDgm({a, danl}), 0);
    EXPECT_NE(readBytes(dir.file("X_farbe.bmp")), shading);
    ColourCanvas photo{3, 3, std::vector<std::uint8_t>(27, 90), {}};
    writeBytes(dir.file("X_farbe.bmp"), encodeBitmap(photo));
    MessageCapture shown;
    EXPECT_EQ(runDgm({a, danl}), 1);
    EXPECT_EQ(readBytes(dir.file("X_farbe.bmp")), encodeBitmap(photo));
    std::filesystem::remove(dir.file("X_farbe.bmp"));
    writeBytes(dir.file("foto.bmp"), encodeBitmap({2, 1, std::vector<std::uint8_t>(6, 90), {}}));
    writeText(danl, "[Terrain1]\nFarbe=foto.bmp\n");
    EXPECT_EQ(runDgm({a, danl}), 0);
    EXPECT_NE(readText(danl).find("Farbe=foto.bmp"), std::string::npos);
    EXPECT_FALSE(fileExists(dir.file("X_farbe.bmp")));
}

// A system outside the table serves alone; mixed, it is refused with a fix.
TEST(DgmProgram, SystemOutsideTheTableWorksAloneAndIsRefusedMixed) {
    TempFolder dir;
    writeText(dir.file("laea.asc"), SmallGrid);
    writeText(dir.file("laea.prj"),
              "PROJCS[\"ETRS89-extended / LAEA Europe\",AUTHORITY[\"EPSG\",\"3035\"]]");
    MessageCapture capture;
    EXPECT_EQ(runDgm({dir.file("laea.asc"), "-o", dir.file("a.ter")}), 0);
    EXPECT_EQ(
        runDgm({testDataFile("dgm/sys_utm32.tif"), dir.file("laea.asc"), "-o", dir.file("b.ter")}),
        1);
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_NE(capture.messages[0].find("EPSG 3035"), std::string::npos);
    EXPECT_NE(capture.messages[0].find("gdalwarp -t_srs EPSG:25832 laea.asc"), std::string::npos);
    // A cut in degrees needs the table as well.
    EXPECT_EQ(runDgm({dir.file("laea.asc"), "--ausschnitt-grad", "50", "12", "51", "13", "-o",
                      dir.file("c.ter")}),
              1);
    ASSERT_EQ(capture.messages.size(), 2u);
    EXPECT_NE(capture.messages[1].find("EPSG 3035"), std::string::npos);
}

// Archived entries (world files too) give what the plain files give.
TEST(DgmArchive, GivesWhatThePlainFilesGive) {
    TempFolder dir;
    ByteWriter hgt; // row r, column c: 100 + r / 300 * 50 + c / 300 * 20
    for (int k = 0; k < 1201 * 1201; ++k)
        hgt.u16be(std::uint16_t(100 + k / 1201 / 300 * 50 + k % 1201 / 300 * 20));
    writeBytes(dir.file("N47E011.hgt"), hgt.buffer());
    writeBytes(dir.file("foto.png"), readBytes(dgmFile("pic_palette.png")));
    writeText(dir.file("foto.pgw"), "10\n0\n0\n-10\n500005\n5600045\n");
    const struct {
        std::vector<std::string> packed, plain;
        std::string copy = ""; // run as this, without -o: its terrain named after it
    } cases[] = {
        {{dgmFile("arch_terrain.xyz.gz")}, {dgmFile("terrain.xyz")}, "kachel.xyz.gz"},
        {{dgmFile("arch_terrain.asc.gz")}, {dgmFile("terrain.asc")}},
        {{dgmFile("arch_strips.zip")}, {dgmFile("f32_strips.tif")}, "kachel.tif.zip"},
        {{dgmFile("zip64.zip")}, {dgmFile("terrain.xyz")}},
        // A cut keeps the resampling of the whole tile out of the test's time.
        {{dgmFile("N47E011.hgt.zip"), "--ausschnitt", "11.2", "47.2", "11.4", "47.4"},
         {dir.file("N47E011.hgt"), "--ausschnitt", "11.2", "47.2", "11.4", "47.4"}},
        {{dgmFile("arch_picture.zip")}, {dgmFile("terrain.xyz"), dir.file("foto.png")}, "dgm1.zip"},
        // Mixed with plain files, in the order given.
        {{dgmFile("arch_terrain.xyz.gz"), dgmFile("f32_strips.tif")},
         {dgmFile("terrain.xyz"), dgmFile("f32_strips.tif")}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.packed[0]);
        std::vector<std::string> a = k.packed, b = k.plain;
        const std::string stem = k.copy.empty() ? "a" : k.copy.substr(0, k.copy.find('.'));
        if (k.copy.empty()) {
            a.insert(a.end(), {"-o", dir.file("a.ter")});
        } else {
            writeBytes(dir.file(k.copy), readBytes(a[0]));
            a[0] = dir.file(k.copy);
        }
        b.insert(b.end(), {"-o", dir.file("b.ter")});
        MessageCapture shown;
        ASSERT_EQ(runDgm(a), 0);
        ASSERT_EQ(runDgm(b), 0);
        EXPECT_TRUE(shown.messages.empty());
        EXPECT_EQ(readBytes(dir.file(stem + ".ter")), readBytes(dir.file("b.ter")));
        EXPECT_EQ(readBytes(dir.file(stem + "_farbe.bmp")), readBytes(dir.file("b_farbe.bmp")));
        for (const std::string& f :
             {stem + ".ter", stem + "_farbe.bmp", std::string("b_farbe.bmp")})
            std::filesystem::remove(dir.file(f));
    }
}

// Broken archives are refused naming the archive or entry (in UTF-8), bombs
// before allocating, of several the first given; nothing is written.
TEST(DgmArchive, RefusesBrokenArchivesNamingTheEntry) {
    const char sep = platformIsWindows() ? '\\' : '/';
    auto entry = [&](const char* file, const char* name) { return dgmFile(file) + sep + name; };
    const struct {
        std::vector<std::string> inputs;
        std::string message;
    } cases[] = {
        {{"bad_encrypted.zip"},
         entry("bad_encrypted.zip", "terrain.xyz") + " ist verschluesselt!\n"},
        {{"bad_nested.zip"},
         entry("bad_nested.zip", "innen") + sep +
             "kachel.zip ist ein Archiv im Archiv: bitte das aeussere auspacken!\n"},
        {{"bad_truncated.zip"}, dgmFile("bad_truncated.zip") + ": Archiv beschaedigt!\n"},
        {{"terrain.xyz", "bad_crc.zip", "bad_bomb.zip", "bad_bomb.xyz.gz"},
         entry("bad_crc.zip", "H\xC3\xB6he.xyz") + ": Pruefsumme falsch, Archiv beschaedigt!\n"},
        // A zip of heights as a picture; its name in code page 437.
        {{"terrain.xyz", "--farbe", "arch_strips.zip"},
         entry("arch_strips.zip", "H\xC3\xB6hen") + sep + "f32_strips.tif: "},
        {{"bad_bomb.zip"},
         entry("bad_bomb.zip", "bombe.xyz") +
             ": entpackte Groesse 2000000000 Bytes aus 896 Bytes ist "
             "unglaubhaft (Archivbombe)!\n"},
        {{"bad_bomb.xyz.gz"},
         dgmFile("bad_bomb.xyz.gz") + ": entpackt laenger als die angegebenen 600 Bytes "
                                      "(beschaedigt oder Archivbombe)!\n"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.message);
        TempFolder dir;
        std::vector<std::string> args = {"-o", dir.file("t.ter")};
        for (const std::string& f : k.inputs)
            args.push_back(f[0] == '-' || std::isdigit(f[0]) ? f : dgmFile(f));
        MessageCapture shown;
        EXPECT_EQ(runDgm(args), 1);
        ASSERT_EQ(shown.messages.size(), 1u);
        EXPECT_EQ(shown.messages[0].rfind(k.message, 0), 0u) << shown.messages[0];
        EXPECT_FALSE(fileExists(dir.file("t.ter")));
    }
}
