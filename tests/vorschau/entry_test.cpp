#include "layout/layout.h"
#include "platform/platform.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"
#include "tests/vorschau/png_reader.h"
#include "tests/vorschau/preview_scenes.h"
#include "vorschau/entry.h"
#include "vorschau/preview.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// Small pictures keep the runs quick, under Wine too.
constexpr std::int32_t PictureSide = 240;

int runVorschau(std::vector<std::string> args) {
    std::vector<char*> argv;
    static std::string program = "zumt_vorschau";
    argv.push_back(program.data());
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return vorschauMain(static_cast<int>(args.size() + 1), argv.data(), PictureSide);
}

const char* const SettingsText =
    "[Terrain1]\r\nHoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\nName=Berge\r\n"
    "Pixelgroesse=10\r\nVerschiebung=0\r\n";

class VorschauEntry : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    // A path in the system's form (backslashes on Windows).
    std::string file(const std::string& name) const {
        std::string p = tmp.file(name);
        if (platformIsWindows())
            for (char& c : p)
                if (c == '/') c = '\\';
        return p;
    }
};

} // namespace

TEST_F(VorschauEntry, RefusesWhatItCannotDrawAndWritesNothing) {
    // A colour bitmap one row too tall, then flat ground of 40 x 30 steps.
    writeTerrainFiles(tmp, 40, 31, [](std::int32_t, std::int32_t) { return 0; });
    std::filesystem::rename(tmp.path() / "farbe.bmp", tmp.path() / "klein.bmp");
    writeTerrainFiles(tmp, 40, 30, [](std::int32_t, std::int32_t) { return 1000; });
    writeText(tmp.file("Strecke.anl"), "alt");
    // A layout that does not load: one byte too many.
    Layout empty;
    std::vector<std::uint8_t> image;
    ASSERT_TRUE(empty.writeImage(image));
    image.push_back(0);
    writeBytes(tmp.file("Kaputt.anl"), image);
    writeText(tmp.file("Kaputt.danl"), SettingsText);
    const std::string test = file("Test.danl");
    struct Case {
        std::vector<std::string> args;
        const char* danl; // the rest of [Terrain1] in Test.danl
        std::string message;
    } cases[] = {
        // A mistyped picture name must not overwrite the layout. (No
        // arguments and missing settings: console_test.sh.)
        {{test, file("Strecke.anl")},
         "",
         "Falscher Dateityp fuer Bild: " + file("Strecke.anl") + "!\n"},
        {{test}, "Farbe=farbe.png\n", "Falscher Dateityp fuer farbe: farbe.png!\n"},
        {{test}, "Farbe=fehlt.bmp\n", "Can't open fehlt.bmp!\n"},
        {{test}, "Farbe=klein.bmp\n", "Groessen stimmen nicht überein!\n"},
        {{file("Kaputt.danl")}, "", "Datei zu lang!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + c.danl);
        writeText(tmp.file("Test.danl"),
                  std::string("[Terrain1]\nHoehe=hoehe.bmp\nPixelgroesse=10\n") + c.danl);
        capture.reset();
        EXPECT_EQ(runVorschau(c.args), 1);
        EXPECT_EQ(capture.messages, std::vector{c.message});
        EXPECT_EQ(readText(tmp.file("Strecke.anl")), "alt");
        EXPECT_FALSE(fileExists(tmp.file("Test.png")) || fileExists(tmp.file("Kaputt.png")));
    }
}

TEST_F(VorschauEntry, DrawsTheLayoutBesideTheSettings) {
    // Flat ground at 1000 cm; the colour bitmap's first stored row (the
    // south edge) is red, every other row grey.
    writeTerrainFiles(
        tmp, 40, 30, [](std::int32_t, std::int32_t) { return 1000; },
        [](std::int32_t, std::int32_t y) { return y == 0 ? 0x0000FF : 0x808080; });
    writeText(tmp.file("Test.danl"), SettingsText);
    // Tracks half a metre above the ground are what the height application
    // makes of them with this "hoehen.ini".
    writeText(tmp.file("hoehen.ini"), "[DZ]\r\nGleise=0.5\r\n");
    Layout layout;
    layout.tracks.push_back(sceneTrack(1, {-12000, 5000, 1050}, {-4000, 5000, 1053}));
    layout.tracks.push_back(sceneTrack(2, {4000, 5000, 1200}, {12000, 5000, 1000}));
    for (CameraRecord& c : layout.cameras)
        c.setDefault();
    ASSERT_TRUE(layout.save(tmp.file("Test.anl")));

    EXPECT_EQ(runVorschau({file("Test.danl")}), 0);
    EXPECT_TRUE(capture.messages.empty());
    const DecodedPng png = decodePng(readBytes(tmp.file("Test.png")));
    ASSERT_EQ(png.error, "");

    // Where the picture puts the ends, by the frame the drawing used.
    BitmapHeightSource heights(tmp.file("hoehe.bmp"), 1000);
    const PictureFrame f = framePicture(heights, &layout, PictureSide);
    ASSERT_EQ(png.width, f.width);
    auto at = [&](std::int32_t x, std::int32_t y) {
        const auto px = static_cast<std::size_t>(f.pixelX(x));
        const auto py = static_cast<std::size_t>(f.pixelY(y));
        const std::size_t k = (py * static_cast<std::size_t>(png.width) + px) * 3;
        return std::vector<int>{png.rgb[k], png.rgb[k + 1], png.rgb[k + 2]};
    };
    // The ends: on the ground (also 3 cm above), floating, buried.
    EXPECT_EQ(at(-12000, 5000), (std::vector<int>{0, 200, 40}));
    EXPECT_EQ(at(-4000, 5000), (std::vector<int>{0, 200, 40}));
    EXPECT_EQ(at(4000, 5000), (std::vector<int>{30, 100, 255}));
    EXPECT_EQ(at(12000, 5000), (std::vector<int>{235, 20, 20}));
    // Between the ends the track; flat ground keeps its colour, north up;
    // beside the terrain the background.
    auto near = [](std::vector<int> c, int r, int g, int b) {
        return std::abs(c[0] - r) < 40 && std::abs(c[1] - g) < 40 && std::abs(c[2] - b) < 40;
    };
    EXPECT_TRUE(near(at(-8000, 5000), 25, 25, 25));
    EXPECT_TRUE(near(at(-15000, 14900), 128, 128, 128));
    EXPECT_TRUE(near(at(15000, -14900), 255, 0, 0));
    EXPECT_FALSE(near(at(-20500, 0), 128, 128, 128));
}

TEST_F(VorschauEntry, ThePicturePathIsTakenFromTheStartFolder) {
    std::filesystem::create_directories(tmp.path() / "anlagen");
    std::filesystem::create_directories(tmp.path() / "bilder");
    writeTerrainFiles(tmp, 20, 20, [](std::int32_t x, std::int32_t y) { return 30 * x + 20 * y; });
    std::filesystem::rename(tmp.path() / "hoehe.bmp", tmp.path() / "anlagen" / "hoehe.bmp");
    // No colour bitmap and no layout: the heights on a ramp, nothing else.
    writeText(tmp.file("anlagen/Test.danl"), "[Terrain1]\nHoehe=hoehe.bmp\nPixelgroesse=5\n");
    ASSERT_TRUE(changeFolder((tmp.path() / "bilder").string()));
    const std::string start = currentFolder();
    // The tile option may stand anywhere; it is no picture name.
    EXPECT_EQ(runVorschau({"..\\anlagen\\Test.anl", "--ohne-kacheln", "vorschau.PNG"}), 0);
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_EQ(currentFolder(), start);
    EXPECT_EQ(decodePng(readBytes(tmp.file("bilder/vorschau.PNG"))).error, "");
    EXPECT_FALSE(fileExists(tmp.file("anlagen/vorschau.PNG")));

    // A picture that cannot be written is reported; the run fails.
    setWriteFaultForTesting(WriteFault::CannotCreate);
    EXPECT_EQ(runVorschau({"..\\anlagen\\Test.danl"}), 1);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Can't open ..\\anlagen\\Test.png!\n"});
    EXPECT_FALSE(fileExists(tmp.file("anlagen/Test.png")));
}
