#include "hoehen/apply_heights.h"
#include "hoehen/entry.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "tests/hoehen/hoehen_fixtures.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <tuple>

namespace {

namespace fs = std::filesystem;

using PixelHeight = std::function<std::int32_t(std::int32_t, std::int32_t)>;

// A height bitmap whose pixel (x, y) stands for height(x, y) cm.
std::vector<std::uint8_t> heightBitmap(std::int32_t width, std::int32_t height,
                                       PixelHeight heightCm) {
    BitmapPlan plan{width, height};
    plan.pixel = [heightCm](std::int32_t x, std::int32_t y) { return heightCm(x, y) + 10000; };
    return makeBitmap(plan);
}

PixelHeight flat(std::int32_t cm) {
    return [cm](std::int32_t, std::int32_t) { return cm; };
}

// A layout of our own in a temporary folder, fitted by the whole program.
class HoehenRun : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;

    // The terrain: a height bitmap "h.bmp" with the pixel size in metres.
    void useBitmap(std::int32_t width, std::int32_t height, PixelHeight heightCm,
                   const std::string& pixelMetres, const std::string& moreSettings = "") {
        writeBytes(tmp.file("h.bmp"), heightBitmap(width, height, std::move(heightCm)));
        writeText(tmp.file("Test.danl"), "[Terrain1]\r\nHoehe=h.bmp\r\nPixelgroesse=" +
                                             pixelMetres + "\r\n" + moreSettings);
    }
    void useIni(const std::string& text) { writeText(tmp.file("hoehen.ini"), text); }
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

const Vector3 East = {1.0f, 0.0f, 0.0f};

// A modification time that any write would change, in whole seconds: the
// Windows runtime keeps no finer times.
fs::file_time_type twoDaysAgo() {
    return std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                                    std::chrono::hours(48));
}

} // namespace

// ---- the terrain under a layout position -----------------------------------

class Interpolation : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    // xpts × ypts points one metre apart; the point (i, j) lies 25 × (i + 10
    // j) cm high, so the bilinear value anywhere is that plane exactly.
    std::unique_ptr<TerragenHeightSource> plane(std::uint16_t xpts, std::uint16_t ypts) {
        std::vector<std::int16_t> samples;
        for (int j = 0; j < ypts; ++j)
            for (int i = 0; i < xpts; ++i)
                samples.push_back(static_cast<std::int16_t>(i + 10 * j));
        TerragenBuilder b;
        b.count("XPTS", xpts)
            .count("YPTS", ypts)
            .scale(1.0f, 1.0f, 1.0f)
            .heights(16384, 0, samples);
        writeBytes(tmp.file("p.ter"), b.bytes());
        auto source = std::make_unique<TerragenHeightSource>(tmp.file("p.ter"));
        EXPECT_EQ(source->pixelSize, 100);
        return source;
    }
};

TEST_F(Interpolation, GridLiesCentredOnTheLayoutOrigin) {
    auto even = plane(5, 3); // 4 × 2 steps: the origin is grid point (2, 1)
    EXPECT_EQ(interpolatedHeight(*even, 0, 0), 25.0 * 12);
    EXPECT_EQ(interpolatedHeight(*even, -200, -100), 0.0);
    EXPECT_EQ(interpolatedHeight(*even, 50, 25), 25.0 * (2.5 + 12.5));
    EXPECT_EQ(interpolatedHeight(*even, -130, 90), 25.0 * (0.7 + 19.0));

    auto odd = plane(4, 4); // 3 × 3 steps: the origin lies amid four points
    EXPECT_EQ(interpolatedHeight(*odd, 0, 0), 25.0 * (1.5 + 15.0));
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(Interpolation, FarEdgeReachesTheLastGridLine) {
    // x runs from -200 to 200 cm, y from -100 to 100 cm. The last cell
    // interpolates towards line 4 (and row 2) like any other cell, and
    // beyond them the last line holds.
    auto p = plane(5, 3);
    EXPECT_EQ(interpolatedHeight(*p, 150, -100), 25.0 * 3.5);
    EXPECT_EQ(interpolatedHeight(*p, 0, 75), 25.0 * (2 + 17.5));
    EXPECT_EQ(interpolatedHeight(*p, 200, 100), 25.0 * (4 + 20));
    EXPECT_EQ(interpolatedHeight(*p, 350, 50), 25.0 * (4 + 15));
    EXPECT_EQ(interpolatedHeight(*p, INT32_MAX, INT32_MAX), 25.0 * (4 + 20));
}

TEST_F(Interpolation, NearEdgeHoldsTheFirstGridLine) {
    auto p = plane(5, 3);
    EXPECT_EQ(interpolatedHeight(*p, -250, 50), 25.0 * 15);
    EXPECT_EQ(interpolatedHeight(*p, 50, -5000), 25.0 * 2.5);
    EXPECT_EQ(interpolatedHeight(*p, INT32_MIN, INT32_MIN), 0.0);
    EXPECT_EQ(interpolatedHeight(*p, INT32_MIN, INT32_MAX), 25.0 * 20);
}

// ---- the height of one point -----------------------------------------------

// Heights beyond 32 bits are refused before they get here (the program runs
// below); these are the parts the runs do not reach.
TEST(PointHeight, TruncatesEachPartTowardZero) {
    // Faktor 1.5, offset 100 cm, terrain 1234.5 cm and 0.1 m extra:
    // trunc(1951.75) + trunc(10.0).
    EXPECT_EQ(pointHeight(1.5f, 1234.5, 100.0f, 0.1), 1961);
    // Each part on its own: trunc(99.9) + trunc(-30.0), not trunc(69.9).
    EXPECT_EQ(pointHeight(1.0f, 99.9, 0.0f, -0.3), 69);
}

// ---- the whole program over layouts of our own ------------------------------

TEST_F(HoehenRun, WorkedNumbers) {
    // Pixels of 1234 cm in columns 0 and 1, 1235 cm in 2 and 3: the corner
    // at the origin, grid point (2, 1), is 1234.5 cm high; the far east edge
    // 1235 cm.
    useBitmap(
        4, 2, [](std::int32_t x, std::int32_t) { return x < 2 ? 1234 : 1235; }, "0.5",
        "Faktor=1.5\r\nVerschiebung=1.0\r\n");
    useIni("[DZ]\r\nGleise=0.1\r\nBaum=0.1\r\n");
    Layout layout;
    layout.tracks = {makeTrack(1, "Gleis", 2, {0, 0, 0}, {10000, 0, 0}, East)};
    layout.objects = {makeObject(1, "Baum", {0, 0, 0}, East),
                      makeObject(2, "Haus", {0, 0, 0}, {0.0f, 1.0f, 0.0f})};
    for (auto& camera : layout.cameras)
        camera.setDefault();
    putLayout(layout);

    ASSERT_EQ(run(), 0);
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_TRUE(capture.console.empty());
    Layout out = written();
    EXPECT_EQ(out.tracks[0].start.z, 1961); // trunc(1851.75 + 100) + trunc(10.0)
    EXPECT_EQ(out.tracks[0].end.z, 1962);   // trunc(1852.5 + 100) + 10
    EXPECT_EQ(out.objects[0].position.z, 1861);
    EXPECT_EQ(out.objects[1].position.z, 1851); // no key: the default extra 0
    EXPECT_EQ(out.cameras[0].position.z, 2000); // cameras only with "Kameras"

    // Everything else is as it was: the layout with these heights set by
    // hand writes the very same bytes.
    layout.tracks[0].start.z = 1961;
    layout.tracks[0].end.z = 1962;
    layout.objects[0].position.z = 1861;
    layout.objects[1].position.z = 1851;
    EXPECT_EQ(readBytes(tmp.file("Test.anl")), layoutImage(layout));
}

TEST_F(HoehenRun, FactorAndOffsetSettings) {
    // One track from the lowest corner, grid point (0, 0) at (-100, -50), to
    // the origin, and an object on that corner. The pixel (0, 0) is the
    // lowest; every other pixel is as high as high.
    struct Case {
        const char* settings;
        std::int32_t low, high;
        std::int32_t start, end, object;
    } cases[] = {
        // -12.7 cm after factor and offset is -12: truncation toward zero.
        {"Faktor=0.1\r\nVerschiebung=0\r\n", -127, -127, -12, -12, -112},
        // Without "Verschiebung" the lowest point lands 2 cm above the
        // base: 0.02 - 2 × -100 × 0.01 m, as single-precision floats.
        {"Faktor=2\r\n", -100, 500, 2, 1202, -98},
        {"", 250, 250, 2, 2, -98},
        // A Faktor that is no number reads as 0.
        {"Faktor=abc\r\n", 250, 800, 2, 2, -98},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        capture.reset();
        useBitmap(
            4, 2,
            [&c](std::int32_t x, std::int32_t y) { return x == 0 && y == 0 ? c.low : c.high; },
            "0.5", c.settings);
        Layout layout;
        layout.tracks = {makeTrack(1, "Gleis", 2, {-100, -50, 7}, {0, 0, 7}, East)};
        layout.objects = {makeObject(1, "Baum", {-100, -50, 7}, East)};
        putLayout(layout);
        ASSERT_EQ(run(), 0);
        EXPECT_TRUE(capture.messages.empty());
        Layout out = written();
        EXPECT_EQ(out.tracks[0].start.z, c.start);
        EXPECT_EQ(out.tracks[0].end.z, c.end);
        EXPECT_EQ(out.objects[0].position.z, c.object);
    }
}

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
        {"[Zumt]\nAlles=7\n[DZ]\nGleise=-0.5\n", 950, 900, 900, 900, 2000},
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
        if (c.ini) useIni(c.ini);
        Layout layout;
        layout.tracks = {makeTrack(1, "Gleis", 2, {-100, 50, 11}, {300, 450, 11}, East)};
        layout.objects = {makeObject(1, "Haus", {50, 100, 13}, East),
                          makeObject(2, "haus", {50, 100, 14}, East),
                          makeObject(3, "Baum", {-500, 0, 15}, East),
                          makeObject(4, "Berge\\bmp0_0", {50, 100, 16}, East)};
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

TEST_F(HoehenRun, BridgesAndBufferStopsFollowTheirTracks) {
    // Pixel column x is 100 × x cm high; with 1 m pixels grid line i (i from
    // 1 to 7) lies at x = 100 i - 400 cm and 100 × (i - 0.5) cm high.
    useBitmap(
        8, 2, [](std::int32_t x, std::int32_t) { return 100 * x; }, "1",
        "Faktor=1\r\nVerschiebung=0\r\n");
    useIni("[DZ]\nGleise=0.2\n");
    Layout layout;
    layout.tracks = {makeTrack(1, "Stumpf", 1, {-300, 0, 0}, {300, 0, 0}, East),
                     makeTrack(2, "Bruecke", 2, {-200, 100, 0}, {200, 100, 0}, East)};
    layout.objects = {makeObject(1, "..\\Prellbock", {0, 0, 0}, East),
                      makeObject(2, "..\\Bruecken\\Stein", {0, 100, 0}, East),
                      makeObject(3, "Baum", {0, 0, 0}, East),
                      makeObject(4, "Baum", {0, 0, 0}, East)}; // a duplicate
    putLayout(layout);

    ASSERT_EQ(run(), 0);
    Layout out = written();
    EXPECT_EQ(out.tracks[0].start.z, 70);
    EXPECT_EQ(out.tracks[0].end.z, 670);
    EXPECT_EQ(out.tracks[1].start.z, 170);
    EXPECT_EQ(out.tracks[1].end.z, 570);
    ASSERT_EQ(out.objectCount(), 3);           // the duplicate is gone
    EXPECT_EQ(out.objects[0].position.z, 670); // the end of its track
    EXPECT_EQ(out.objects[1].position.z, 370); // the middle of its track
    EXPECT_EQ(out.objects[2].position.z, 250); // the terrain, 100 cm lower
}

// ---- runs that must not write ------------------------------------------------

TEST_F(HoehenRun, NothingWrittenWhenTheLayoutDoesNotLoad) {
    useBitmap(4, 4, flat(300), "1");
    Layout layout;
    layout.objects = {makeObject(1, "Baum", {0, 0, 5}, East)};
    const std::vector<std::uint8_t> good = layoutImage(layout);
    std::vector<std::uint8_t> cut(good.begin(), good.end() - 1);
    std::vector<std::uint8_t> tooLong = good;
    tooLong.push_back(0);
    // The copy of the path, the second "Baum": a text that disagrees stops
    // the load without any word of the loader.
    std::vector<std::uint8_t> otherCopy = good;
    const std::string copy = "Baum";
    auto second = std::search(otherCopy.begin() + 10, otherCopy.end(), copy.begin(), copy.end());
    ASSERT_NE(second, otherCopy.end());
    *second = 'b';

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::vector<std::string> messages;
    } cases[] = {
        {"cut", cut, {"Formatfehler!\n"}},
        {"too long", tooLong, {"Datei zu lang!\n"}},
        {"copy differs", otherCopy, {"Formatfehler!\n"}},
    };
    const auto old = twoDaysAgo();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        capture.reset();
        writeBytes(tmp.file("Test.anl"), c.bytes);
        fs::last_write_time(tmp.file("Test.anl"), old);
        EXPECT_EQ(run(), 1);
        EXPECT_EQ(capture.messages, c.messages);
        EXPECT_EQ(readBytes(tmp.file("Test.anl")), c.bytes);
        EXPECT_EQ(fs::last_write_time(tmp.file("Test.anl")), old);
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
    writeText(tmp.file("bad.bmp"), "kein Bild");
    writeBytes(tmp.file("h.bmp"), heightBitmap(4, 2, flat(5)));
    // Terragen scales of 1 mm (a pixel size of 0 cm), NaN and beyond reason.
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
    const char* const notNumbers = "Faktor und Verschiebung muessen Zahlen sein!\n";
    const char* const beyond = "Hoehen ausserhalb des Bereichs der Anlage!\n";
    const std::pair<const char*, std::string> cases[] = {
        {"Hoehe=bad.bmp\nPixelgroesse=1\n", "Falsches Bitmapformat: bad.bmp!\n"},
        {"Hoehe=mm.ter\n", ZeroPixelSizeMessage},
        {"Hoehe=nanxy.ter\n", formatText(NonPositivePixelSizeMessage, INT32_MIN)},
        {"Hoehe=h.bmp\nPixelgroesse=-10\n", formatText(NonPositivePixelSizeMessage, -1000)},
        {"Hoehe=h.bmp\nPixelgroesse=1\nFaktor=nan\n", notNumbers},
        {"Hoehe=h.bmp\nPixelgroesse=1\nVerschiebung=-inf\n", notNumbers},
        {"Hoehe=h.bmp\nPixelgroesse=1\nFaktor=1e30\nVerschiebung=0\n", beyond},
        {"Hoehe=h.bmp\nPixelgroesse=1\nVerschiebung=30000000\n", beyond},
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

TEST_F(HoehenRun, FailedSaveLeavesTheLayoutAsItWas) {
    useBitmap(4, 4, flat(300), "1");
    Layout layout;
    layout.tracks = {makeTrack(1, "Gleis", 2, {0, 0, 0}, {100, 0, 0}, East)};
    putLayout(layout);
    const std::vector<std::uint8_t> before = readBytes(tmp.file("Test.anl"));
    const auto old = twoDaysAgo();

    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* message;
    } cases[] = {
        {"disk full", [] { setWriteFaultForTesting(WriteFault::DiskFull, 100); },
         "Fehler beim Schreiben von Test.anl!\n"},
        {"folder not writable", [] { setWriteFaultForTesting(WriteFault::CannotCreate); },
         "Can't open Test.anl!\n"},
        {"move fails", [] { setWriteFaultForTesting(WriteFault::MoveFails); },
         "Fehler beim Schreiben von Test.anl!\n"},
        {"read-only layout",
         [this] {
             fs::permissions(tmp.file("Test.anl"),
                             fs::perms::owner_write | fs::perms::group_write |
                                 fs::perms::others_write,
                             fs::perm_options::remove);
         },
         "Can't open Test.anl!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        capture.reset();
        fs::last_write_time(tmp.file("Test.anl"), old);
        c.arrange();
        EXPECT_EQ(run(), 1);
        setWriteFaultForTesting(WriteFault::None);
        EXPECT_EQ(capture.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(readBytes(tmp.file("Test.anl")), before);
        EXPECT_EQ(fs::last_write_time(tmp.file("Test.anl")), old);
        // No temporary file is left beside it.
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(tmp.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"Test.anl", "Test.danl", "h.bmp"}));
    }
}

// ---- the committed case --------------------------------------------------------

// tests/data/hoehen holds a layout, its settings and a "hoehen.ini"; with the
// terrain gdal_5x3_2m.ter (written by GDAL) the program must write
// Gelaende_erwartet.anl. The native and the Windows program are held to the
// same file by committed_case.sh; here the case runs in-process, and the
// heights are checked one by one against values worked out by hand from the
// heights GDAL reads from the terrain (gdal_heights.csv).
TEST_F(HoehenRun, CommittedCase) {
    Layout fixture = terrainLayout();
    ASSERT_EQ(readBytes(testDataFile("hoehen/Gelaende.anl")), layoutImage(fixture))
        << "regenerate with zumt_write_hoehen_case";
    fs::create_directories(tmp.path() / "anlagen" / "terrain");
    for (const char* name : {"Gelaende.anl", "Gelaende.danl", "hoehen.ini"})
        writeBytes(tmp.file(std::string("anlagen/") + name),
                   readBytes(testDataFile(std::string("hoehen/") + name)));
    writeBytes(tmp.file("anlagen/terrain/gelaende.ter"),
               readBytes(testDataFile("gdal_5x3_2m.ter")));

    std::string program = "zumt_hoehen", arg = tmp.file("anlagen") + "\\Gelaende.anl";
    char* argv[] = {program.data(), arg.data(), nullptr};
    ASSERT_EQ(hoehenMain(2, argv), 0);
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_EQ(readBytes(tmp.file("anlagen/Gelaende.anl")),
              readBytes(testDataFile("hoehen/Gelaende_erwartet.anl")));

    Layout out;
    ASSERT_EQ(out.load(tmp.file("anlagen/Gelaende.anl")), LoadResult::Loaded);
    // Faktor 1.5; the default offset from the lowest height, -12024.93 cm:
    // 0.02 + 1.5 × 120.2493 m = 180.394 m, as floats 18039.400390625 cm.
    // Tracks 0.5 m higher, "Haus" -0.3 m, other objects 0.019 m ([Zumt]
    // "DZ"), cameras 1.25 m. Four cameras stand far off the terrain, at its
    // corner (0, 0); camera 1 at (100, -100).
    const std::int32_t tracks[4][2] = {
        {16965, 19608}, {11442, 25177}, {29377, 31097}, {35957, 55588}};
    for (int t = 0; t < 4; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(out.tracks[t].start.z, tracks[t][0]);
        EXPECT_EQ(out.tracks[t].end.z, tracks[t][1]);
    }
    // "Berge\bmp0_0" keeps its -100; the buffer stop stands on the end of
    // its track, the bridge on the middle of its track; the last "Baum"
    // takes the height of the terrain's far corner, grid point (4, 2).
    const std::int32_t objects[6] = {18390, 16443, -100, 25177, 30237, 35939};
    for (int o = 0; o < 6; ++o) {
        SCOPED_TRACE(o);
        EXPECT_EQ(out.objects[o].position.z, objects[o]);
    }
    const std::int32_t cameras[5] = {17040, 23377, 17040, 17040, 17040};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(out.cameras[c].position.z, cameras[c]);
}
