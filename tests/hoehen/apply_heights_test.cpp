#include "hoehen/apply_heights.h"
#include "hoehen/entry.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

namespace {

namespace fs = std::filesystem;

// A track of two ends joined to made-up peers (the writer picks the code).
TrackRecord makeTrack(Point3 start, Point3 end) {
    TrackRecord t;
    t.id = 1;
    t.name = "Gleis";
    t.connectionCount = 2;
    t.start = start;
    t.end = end;
    t.direction = {1.0f, 0.0f, 0.0f};
    t.connections[0] = {10, 0};
    t.connections[1] = {11, 0};
    return t;
}

ObjectRecord makeObject(std::int16_t id, const std::string& path, Point3 position) {
    ObjectRecord o;
    o.id = id;
    o.path = path;
    o.position = position;
    o.direction = {1.0f, 0.0f, 0.0f};
    o.param1 = o.param2 = 100;
    return o;
}

std::vector<std::uint8_t> layoutImage(Layout& layout) {
    std::vector<std::uint8_t> image;
    EXPECT_TRUE(layout.writeImage(image));
    return image;
}

PixelValue flat(std::int32_t cm) {
    return [cm](std::int32_t, std::int32_t) { return cm; };
}

// A layout of our own in a temporary folder, fitted by the whole program.
class HoehenRun : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;

    // The terrain: a height bitmap "hoehe.bmp" with the pixel size in metres.
    void useBitmap(std::int32_t width, std::int32_t height, PixelValue heightCm,
                   const std::string& pixelMetres, const std::string& moreSettings = "") {
        writeTerrainFiles(tmp, width, height, heightCm);
        writeText(tmp.file("Test.danl"), "[Terrain1]\r\nHoehe=hoehe.bmp\r\nPixelgroesse=" +
                                             pixelMetres + "\r\n" + moreSettings);
    }
    void putLayout(Layout layout) { writeBytes(tmp.file("Test.anl"), layoutImage(layout)); }

    // The program on Test.anl, named by its full path in the system's form.
    int run() {
        std::string path = tmp.file("Test.anl");
        if (platformIsWindows())
            for (char& c : path)
                if (c == '/') c = '\\';
        std::string program = "zumt_hoehen";
        char* argv[] = {program.data(), path.data(), nullptr};
        return hoehenMain(2, argv);
    }
    Layout written() {
        Layout layout;
        EXPECT_EQ(layout.load(tmp.file("Test.anl")), LoadResult::Loaded);
        return layout;
    }
};

} // namespace

// ---- the terrain under a layout position -----------------------------------

TEST(Interpolation, GridLiesCentredOnTheOriginAndItsEdgeLinesHoldBeyond) {
    TempFolder tmp;
    MessageCapture capture;
    // (width + 1) × (height + 1) points one metre apart; the point (i, j)
    // lies 25 × (i + 10 j) cm high, so the bilinear value anywhere is that
    // plane exactly.
    const auto plane = [&](std::int32_t width, std::int32_t height) {
        writeBytes(tmp.file("p.ter"),
                   terragenGrid(width, height, 1, [](int i, int j) { return i + 10 * j; }));
        return std::make_unique<TerragenHeightSource>(tmp.file("p.ter"));
    };
    // 5 × 3 points: x runs from -200 to 200 cm, y from -100 to 100 cm, and
    // the origin is grid point (2, 1). The last cell interpolates towards
    // the last line like any other; beyond either edge that line holds.
    const auto even = plane(4, 2);
    ASSERT_EQ(even->pixelSize, 100);
    const std::tuple<std::int32_t, std::int32_t, double> cases[] = {
        {0, 0, 12},
        {-130, 90, 0.7 + 19.0},
        {150, -100, 3.5},
        {350, 50, 4 + 15},
        {INT32_MAX, INT32_MAX, 4 + 20},
        {INT32_MIN, INT32_MIN, 0},
        {INT32_MIN, INT32_MAX, 20},
    };
    for (const auto& [x, y, height] : cases)
        EXPECT_EQ(interpolatedHeight(*even, x, y), 25.0 * height) << x << "," << y;
    // 3 × 3 steps: grid point (1, 1) lies at the origin, as the generated
    // tiles put it, not the middle amid four points.
    EXPECT_EQ(interpolatedHeight(*plane(3, 3), 0, 0), 25.0 * (1 + 10));
    EXPECT_TRUE(capture.messages.empty());
}

// Each part of a point's height truncated toward zero on its own; rounding or
// flooring either part, or truncating only the sum, misses a row.
TEST(PointHeight, TruncatesEachPartTowardZero) {
    struct Case {
        float faktor;
        double terrain;
        float offset;
        double extra; // m
        std::int32_t z;
    } cases[] = {
        {1.0f, 10.7, 0.0f, 0.0, 10},    // rounding: 11
        {1.5f, -7.5, 0.5f, 0.0, -10},   // -10.75; flooring and rounding: -11
        {1.0f, 0.0, 0.0f, -0.257, -25}, // -25.7 cm; flooring and rounding: -26
        {1.0f, 10.7, 0.0f, 0.257, 35},  // 10 + 25; the sum 36.4 would give 36
        {1.0f, -10.2, 0.0f, 0.257, 15}, // -10 + 25; rounding 16, flooring 14
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.faktor << " x " << c.terrain << " + " << c.offset
                                        << ", extra " << c.extra);
        EXPECT_EQ(pointHeight(c.faktor, c.terrain, c.offset, c.extra), c.z);
        // The height program's form, which refuses what 32 bits do not hold.
        EXPECT_EQ(widePointHeight(c.faktor, c.terrain, c.offset, c.extra), c.z);
    }
}

// ---- the whole program over layouts of our own ------------------------------

// The mapping (Faktor, Verschiebung and its default), the extra heights of
// tracks, objects and cameras, buffer stops and bridges on their tracks and
// every other byte kept: the committed case (committed_case.sh) holds these,
// on both builds. These are the rules of "hoehen.ini" it does not reach.

TEST_F(HoehenRun, HeightSettingsChooseWhatIsAdjusted) {
    // A flat terrain 1000 cm high, Faktor 1, no offset: a track end there
    // gets 1000 plus its extra height, an object 100 less. The heights
    // before are 11 to 16 and the cameras' 2000, so a change shows. (The
    // positions lie on binary fractions of the grid: elsewhere the weights
    // of the interpolation can add up to a hair below 1, and 999.99... cm
    // truncates to 999.)
    struct Case {
        const char* ini; // nullptr: no "hoehen.ini"
        std::int32_t track, haus, lowerHaus, baum, cameras;
    } cases[] = {
        {nullptr, 1000, 900, 900, 900, 2000},
        {"[Zumt]\nAlles=0\n[DZ]\nKameras=0\n", 11, 13, 14, 15, 1000},
        // Exactly this path, case and all; the tracks only with "Gleise".
        {"[Zumt]\nAlles=0\n[DZ]\nHaus=0.25\n", 11, 925, 14, 15, 2000},
        // A key whose text is no number selects with an extra height of 0.
        {"[Zumt]\nAlles=0\nDZ=0.5\n[DZ]\nHaus=hoch\nGleise=0.019\n", 1001, 900, 14, 15, 2000},
        // [Zumt] "DZ" stands in for every absent key of what is adjusted.
        {"[Zumt]\nDZ=0.5\n[DZ]\nGleise=0.5\nKameras=-0.019\nBaum=2\n", 1050, 950, 950, 1100, 999},
        // A model path with a backslash is never adjusted, named or not.
        {"[Zumt]\nAlles=0\n[DZ]\nBerge\\bmp0_0=1\n", 11, 13, 14, 15, 2000},
        // Names are exact: "zumt" is not "Zumt", so "Alles" keeps its 1.
        {"[zumt]\nAlles=0\n", 1000, 900, 900, 900, 2000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini ? c.ini : "(no hoehen.ini)");
        capture.reset();
        useBitmap(6, 6, flat(1000), "2", "Faktor=1\r\nVerschiebung=0\r\n");
        fs::remove(tmp.file("hoehen.ini"));
        if (c.ini) writeText(tmp.file("hoehen.ini"), c.ini);
        Layout layout;
        layout.tracks = {makeTrack({-100, 50, 11}, {300, 450, 11})};
        layout.objects = {
            makeObject(1, "Haus", {50, 100, 13}), makeObject(2, "haus", {50, 100, 14}),
            makeObject(3, "Baum", {-500, 0, 15}), makeObject(4, "Berge\\bmp0_0", {50, 100, 16})};
        for (auto& camera : layout.cameras)
            camera.setDefault();
        putLayout(layout);

        ASSERT_EQ(run(), 0);
        EXPECT_TRUE(capture.messages.empty());
        Layout out = written();
        EXPECT_EQ(out.tracks[0].start.z, c.track);
        EXPECT_EQ(out.tracks[0].end.z, c.track);
        EXPECT_EQ(out.objects[0].position.z, c.haus);
        EXPECT_EQ(out.objects[1].position.z, c.lowerHaus);
        EXPECT_EQ(out.objects[2].position.z, c.baum);
        EXPECT_EQ(out.objects[3].position.z, 16);
        for (const auto& camera : out.cameras)
            EXPECT_EQ(camera.position.z, c.cameras);
    }
}

TEST_F(HoehenRun, TrackEndsOnTileVerticesGetTheVertexHeights) {
    // Grids of an odd number of steps along one axis and an even one along
    // the other, as height bitmaps (one point per pixel corner) and Terragen
    // files (one per sample), 2 m a step, steep enough that half a step off
    // shows.
    auto terrain = [](std::int32_t x, std::int32_t y) { return 300 * x + 70 * y * y; };
    for (const bool ter : {false, true})
        for (const auto& [width, height] : {std::pair{5, 2}, std::pair{4, 3}}) {
            SCOPED_TRACE(testing::Message() << (ter ? "ter " : "bmp ") << width << "x" << height);
            capture.reset();
            writeTerrainFiles(tmp, width, height, terrain);
            writeBytes(tmp.file("g.ter"), terragenGrid(width, height, 2, terrain));
            const std::string danl = std::string("[Terrain1]\nFaktor=1.5\n") +
                                     (ter ? "Hoehe=g.ter\n" : "Hoehe=hoehe.bmp\nPixelgroesse=2\n");
            writeText(tmp.file("Test.danl"), danl);
            // One track from each grid point to the origin. The point lies
            // where the generated layout puts its vertex: the tile object at
            // (centre - size / 2) steps, the halves rounded down, and the
            // vertex (point - centre) steps from it.
            Layout layout;
            for (std::int32_t r = 0; r <= height; ++r)
                for (std::int32_t c = 0; c <= width; ++c)
                    layout.tracks.push_back(
                        makeTrack({(c - width / 2) * 200, (r - height / 2) * 200, -1}, {0, 0, -1}));
            putLayout(layout);
            ASSERT_EQ(run(), 0);
            EXPECT_TRUE(capture.messages.empty());

            // The vertex's height by the height program's own mapping.
            SettingsFile settings;
            ASSERT_TRUE(settings.parse(danl) && changeFolder(tmp.path().string()));
            const std::unique_ptr<HeightSource> source =
                openHeightSource(readTerrainValues(settings));
            ASSERT_EQ(source->pixelSize, 200);
            const TerrainMapping m = terrainMapping(readTerrainValues(settings), *source);
            const Layout out = written();
            ASSERT_EQ(out.tracks.size(), layout.tracks.size());
            for (std::size_t k = 0; k < out.tracks.size(); ++k) {
                const auto c = static_cast<std::int32_t>(k) % (width + 1);
                const auto r = static_cast<std::int32_t>(k) / (width + 1);
                EXPECT_EQ(out.tracks[k].start.z,
                          pointHeight(m.faktor, source->heightAt(c, r), m.offset, 0.0))
                    << c << "," << r;
            }
        }
}

// ---- runs that must not write ------------------------------------------------

TEST_F(HoehenRun, NothingWrittenWhenTheLayoutDoesNotLoad) {
    useBitmap(4, 4, flat(300), "1");
    Layout layout;
    layout.objects = {makeObject(1, "Baum", {0, 0, 5})};
    const std::vector<std::uint8_t> good = layoutImage(layout);
    std::vector<std::uint8_t> cut(good.begin(), good.end() - 1);
    // The copy of the path, the second "Baum": a text that disagrees stops
    // the load without any word of the loader.
    std::vector<std::uint8_t> otherCopy = good;
    const std::string copy = "Baum";
    auto second = std::search(otherCopy.begin() + 10, otherCopy.end(), copy.begin(), copy.end());
    ASSERT_NE(second, otherCopy.end());
    *second = 'b';

    for (const auto& bytes : {cut, otherCopy}) {
        capture.reset();
        writeBytes(tmp.file("Test.anl"), bytes);
        EXPECT_EQ(run(), 1);
        EXPECT_EQ(capture.messages, std::vector<std::string>{"Formatfehler!\n"});
        EXPECT_EQ(readBytes(tmp.file("Test.anl")), bytes);
    }

    capture.reset();
    fs::remove(tmp.file("Test.anl"));
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Can't open Test.anl!\n"});
    EXPECT_FALSE(fileExists(tmp.file("Test.anl")));
}

TEST_F(HoehenRun, NothingWrittenWithoutUsableHeights) {
    // The layout is not even read: this one would give "Formatfehler!\n".
    writeBytes(tmp.file("Test.anl"), {1, 2, 3});
    writeTerrainFiles(tmp, 4, 2, flat(5));
    // Terragen scales of 1 mm (a pixel size of 0 cm), NaN and beyond reason.
    // The checks of the settings alone are the generator tests'.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::tuple<const char*, float, float> scales[] = {{"mm.ter", 0.001f, 1},
                                                            {"nanxy.ter", nan, 1},
                                                            {"nanz.ter", 30, nan},
                                                            {"big.ter", 30, 1e30f}};
    for (const auto& [name, xy, z] : scales) {
        TerragenBuilder ter;
        ter.count("SIZE", 1).scale(xy, xy, z).heights(1, 0, {1, 2, 3, 4});
        writeBytes(tmp.file(name), ter.bytes());
    }
    const char* const beyond = "Hoehen ausserhalb des Bereichs der Anlage!\n";
    const std::pair<const char*, std::string> cases[] = {
        {"Hoehe=mm.ter\n", ZeroPixelSizeMessage},
        {"Hoehe=nanxy.ter\n", formatText(NonPositivePixelSizeMessage, INT32_MIN)},
        {"Hoehe=hoehe.bmp\nPixelgroesse=1\nFaktor=1e30\nVerschiebung=0\n", beyond},
        {"Hoehe=big.ter\nVerschiebung=0\n", beyond},
        {"Hoehe=nanz.ter\n", beyond},
    };
    for (const auto& [danl, message] : cases) {
        SCOPED_TRACE(danl);
        capture.reset();
        writeText(tmp.file("Test.danl"), std::string("[Terrain1]\n") + danl);
        EXPECT_EQ(run(), 1);
        EXPECT_EQ(capture.messages, std::vector<std::string>{message});
    }
    EXPECT_EQ(readBytes(tmp.file("Test.anl")), (std::vector<std::uint8_t>{1, 2, 3}));
}

// Every way a save can fail is the layout writer's (no_file_lost); here only
// that the program says so by its exit code and leaves the layout alone.
TEST_F(HoehenRun, FailedSaveIsAFailedRun) {
    useBitmap(4, 4, flat(300), "1");
    Layout layout;
    layout.tracks = {makeTrack({0, 0, 0}, {100, 0, 0})};
    putLayout(layout);
    const std::vector<std::uint8_t> before = readBytes(tmp.file("Test.anl"));
    setWriteFaultForTesting(WriteFault::DiskFull, 100);
    EXPECT_EQ(run(), 1);
    setWriteFaultForTesting(WriteFault::None);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Fehler beim Schreiben von Test.anl!\n"});
    EXPECT_EQ(readBytes(tmp.file("Test.anl")), before);
}

// The summary is for a person at a terminal; a log or a pipe gets nothing.
TEST_F(HoehenRun, SummaryOnlyOnATerminal) {
    useBitmap(4, 4, flat(300), "1");
    Layout layout;
    layout.tracks = {makeTrack({0, 0, 0}, {200, -200, 0})}; // the far end on the edge line
    layout.objects = {makeObject(1, "Baum", {0, 201, 0}), makeObject(2, "Haus", {0, 0, 0})};
    for (const bool terminal : {true, false}) {
        SCOPED_TRACE(terminal);
        putLayout(layout);
        setStandardOutputTerminalForTesting(terminal);
        testing::internal::CaptureStdout();
        EXPECT_EQ(run(), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        setStandardOutputTerminalForTesting(std::nullopt);
        EXPECT_EQ(out, terminal ? "Hoehen gesetzt: 2 Gleisenden, 2 Objekte, 0 Kameras; 1 davon "
                                  "ausserhalb des Gelaendes\n"
                                : "");
    }
}
