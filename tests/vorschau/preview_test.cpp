#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "hoehen/apply_heights.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"
#include "tests/vorschau/preview_scenes.h"
#include "vorschau/picture.h"
#include "vorschau/preview.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

SettingsFile settingsOf(const std::string& text) {
    SettingsFile s;
    s.parse(text);
    return s;
}

using Rect = std::vector<std::int64_t>; // i, j, minX, minY, maxX, maxY

// The tiles of a generator run as its files tell them: the layout places
// each tile's model, the model's first and last vertex are the tile's
// corners (minX, minY) and (maxX, maxY) relative to that place.
//   model file: 42 bytes of header and part count, the new class
//   "CObArray" (14 bytes: FFFF, schema 0, u16 length, name), offset 56 u16
//   vertex count, the new class "CObPunkt" (14 bytes), offset 72 the first
//   vertex (x, y as i32), every further vertex 50 bytes on (a 2-byte class
//   reference before each).
std::vector<Rect> generatedTiles(const std::string& folder) {
    std::vector<Rect> out;
    Layout layout;
    layout.load(folder + "/Gen.anl");
    EXPECT_TRUE(layout.loaded);
    for (const ObjectRecord& o : layout.objects) {
        int i = -1, j = -1;
        EXPECT_EQ(std::sscanf(o.path.c_str(), "Berge\\bmp%d_%d", &i, &j), 2) << o.path;
        const std::vector<std::uint8_t> model =
            readBytes(folder + "/Berge/bmp" + std::to_string(i) + "_" + std::to_string(j) + ".mod");
        ByteReader r(model.data(), model.size());
        r.skip(56);
        const std::uint16_t vertices = r.u16();
        ByteReader first(model.data(), model.size()), last(model.data(), model.size());
        first.skip(72);
        last.skip(72 + 50 * (vertices - std::size_t{1}));
        const std::int32_t x0 = first.i32(), y0 = first.i32();
        const std::int32_t x1 = last.i32(), y1 = last.i32();
        EXPECT_FALSE(r.failed() || first.failed() || last.failed()) << o.path;
        out.push_back({i, j, std::int64_t{o.position.x} + x0, std::int64_t{o.position.y} + y0,
                       std::int64_t{o.position.x} + x1, std::int64_t{o.position.y} + y1});
    }
    return out;
}

class PreviewTiles : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    void SetUp() override {
        changeFolder(tmp.path().string());
#ifndef _WIN32
        unsetenv("ZUMT_HOST_DIR");
#endif
        forgetHostFolder();
    }
};

} // namespace

TEST_F(PreviewTiles, OutlinesAreTheTilesTheGeneratorWrites) {
    struct Case {
        std::int32_t width, height;
        const char* settings;
        std::size_t tiles;
    } cases[] = {
        // The defaults: 400 m tiles every 200 m on a 10 m grid.
        {100, 60, "Pixelgroesse=10\n", 15},
        // An odd grid: its halves round down, both in the layout and here.
        {101, 61, "Pixelgroesse=10\nKachelgroesse=300\nKachelabstand=250\n", 8},
        // Tiles narrower than their spacing, a fractional pixel size.
        {37, 23, "Pixelgroesse=2.5\nKachelgroesse=30\nKachelabstand=20\n", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        writeTerrainFiles(tmp, c.width, c.height,
                          [](std::int32_t x, std::int32_t y) { return 100 * x + y; });
        const SettingsFile settings = settingsOf(
            std::string("[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nName=Berge\n") + c.settings);
        ASSERT_EQ(generateTiles(settings, std::string("Gen.anl")), 1);
        const std::vector<Rect> generated = generatedTiles(tmp.path().string());
        EXPECT_EQ(generated.size(), c.tiles);

        BitmapHeightSource heights("hoehe.bmp", pixelCmOf(settings));
        std::optional<Tiling> tiling = tilingOf(settings, heights);
        ASSERT_TRUE(tiling);
        std::vector<Rect> drawn;
        for (const TileOutline& t : tileOutlines(*tiling, heights))
            drawn.push_back({t.i, t.j, t.minX, t.minY, t.maxX, t.maxY});
        EXPECT_EQ(drawn, generated);
        EXPECT_TRUE(capture.messages.empty());
        std::filesystem::remove_all(tmp.path() / "Berge");
    }
}

TEST(PreviewTiling, RefusesWhatTheGeneratorRefuses) {
    const GridOnly heights(100, 60, 1000);
    EXPECT_FALSE(tilingOf(settingsOf("[Terrain1]\nKachelabstand=9.99\n"), heights));
    EXPECT_FALSE(tilingOf(settingsOf("[Terrain1]\nKachelgroesse=-20\n"), heights));
    ASSERT_TRUE(tilingOf(settingsOf("[Terrain1]\nKachelgroesse=0\n"), heights));
    EXPECT_EQ(tilingOf(settingsOf("[Terrain1]\nKachelgroesse=0\n"), heights)->tileHalf, 0);
}

TEST(PreviewHeights, FollowTheHeightApplicationsRule) {
    TempFolder tmp;
    // Heights 100 x + y cm at pixel (x, y) of a 4 x 2 bitmap; the grid
    // points are pixel corners, averaged.
    writeTerrainFiles(tmp, 4, 2, [](std::int32_t x, std::int32_t y) { return 100 * x + y; });
    BitmapHeightSource hs(tmp.file("hoehe.bmp"), 1000);
    ASSERT_EQ(hs.gridWidth, 4);

    // Defaults: factor 1, the lowest point at 2 cm, no extra height.
    const SettingsFile none;
    HeightMapping m = heightMapping(settingsOf("[Terrain1]\n"), none, hs);
    EXPECT_EQ(m.factor, 1.0f);
    EXPECT_EQ(trackHeightUnder(hs, m, -99000, -99000),
              static_cast<std::int32_t>(hs.heightAt(0, 0) - hs.minHeight + 2.0));

    // Factor 1.5, shift 1 m, tracks 0.1 m higher: trunc(1.5 h + 100) + 10.
    m = heightMapping(settingsOf("[Terrain1]\nFaktor=1.5\nVerschiebung=1.0\n"),
                      settingsOf("[DZ]\nGleise=0.1\n"), hs);
    EXPECT_EQ(m.trackExtraCm, 10);
    EXPECT_EQ(trackHeightUnder(hs, m, 500, 0),
              static_cast<std::int32_t>(1.5 * interpolatedHeight(hs, 500, 0) + 100.0) + 10);
    // Without "Gleise" the general extra height counts.
    m = heightMapping(settingsOf("[Terrain1]\n"), settingsOf("[Zumt]\nDZ=0.2\n"), hs);
    EXPECT_EQ(m.trackExtraCm, 20);
}

TEST(PreviewHeights, EndsWithinAFewCentimetresAreOnTheGround) {
    EXPECT_EQ(endFit(1000, 1000), EndFit::OnGround);
    EXPECT_EQ(endFit(1005, 1000), EndFit::OnGround);
    EXPECT_EQ(endFit(995, 1000), EndFit::OnGround);
    EXPECT_EQ(endFit(1006, 1000), EndFit::Floating);
    EXPECT_EQ(endFit(994, 1000), EndFit::Buried);
    EXPECT_EQ(endFit(INT32_MAX, INT32_MIN), EndFit::Floating);
    EXPECT_EQ(endFit(INT32_MIN, INT32_MAX), EndFit::Buried);
}

TEST(PreviewFrame, FitsTheTerrainAndTheLongerSide) {
    GridOnly hs(100, 60, 1000);
    PictureFrame f = framePicture(hs, nullptr, 500);
    EXPECT_EQ(f.width, 500);
    EXPECT_LT(f.height, 500);
    // The terrain lies inside, centred, with a margin.
    const double left = f.pixelX(-50000.0), right = f.pixelX(50000.0);
    const double top = f.pixelY(30000.0), bottom = f.pixelY(-30000.0);
    EXPECT_GT(left, 5.0);
    EXPECT_NEAR(left, f.width - right, 1.0);
    EXPECT_GT(top, 5.0);
    EXPECT_NEAR(top, f.height - bottom, 1.0);
    // North up: a larger y is higher in the picture.
    EXPECT_LT(top, bottom);

    // The automatic size: one pixel per grid step, within 1024 .. 2048.
    EXPECT_EQ(framePicture(hs, nullptr).width, MinAutomaticSide);
    hs.gridWidth = 30000;
    hs.gridHeight = 10;
    f = framePicture(hs, nullptr);
    EXPECT_EQ(f.width, MaxPreviewSide);
    EXPECT_GE(f.height, 1);
    hs.gridWidth = 10;
    hs.gridHeight = 30000;
    EXPECT_EQ(framePicture(hs, nullptr, 99999).height, MaxPreviewSide);
}

TEST(PreviewFrame, TheLayoutWidensItByAtMostTheTerrain) {
    const GridOnly hs(100, 100, 100); // a 100 m terrain around the origin
    Layout layout;
    layout.tracks.push_back(sceneTrack(1, {0, 0, 0}, {15000, 0, 0}));
    PictureFrame f = framePicture(hs, &layout, 400);
    EXPECT_LT(f.pixelX(15000.0), f.width);
    EXPECT_GT(f.pixelX(15000.0), f.width * 0.9);
    // A stray object a kilometre away: the frame stops one terrain width
    // beyond the terrain.
    ObjectRecord far;
    far.id = 1;
    far.path = "Haus";
    far.position = {100000, 0, 0};
    layout.objects.push_back(far);
    f = framePicture(hs, &layout, 400);
    EXPECT_NEAR(f.pixelX(15000.0), f.width - f.pixelX(-5000.0), 1.0);
    // A removed track does not count.
    layout.objects.clear();
    layout.tracks[0].id = 0;
    f = framePicture(hs, &layout, 400);
    EXPECT_NEAR(f.pixelX(5000.0), f.width - f.pixelX(-5000.0), 1.0);
}

TEST(PreviewPicture, ShowsTheTerrainNorthUpAndTheTrackEndsByTheirFit) {
    TempFolder tmp;
    // Flat ground at 1000 cm; the colour bitmap's first stored row (the
    // south edge) is red, every other row grey.
    writeTerrainFiles(
        tmp, 40, 30, [](std::int32_t, std::int32_t) { return 1000; },
        [](std::int32_t, std::int32_t y) {
            return y == 0 ? Rgb{255, 0, 0} : Rgb{128, 128, 128};
        });
    BitmapHeightSource hs(tmp.file("hoehe.bmp"), 1000);
    ColourBitmap colours(tmp.file("farbe.bmp"), 1000);
    const SettingsFile none;
    PreviewScene scene;
    scene.heights = &hs;
    scene.colours = &colours;
    scene.mapping = heightMapping(settingsOf("[Terrain1]\nVerschiebung=0\n"), none, hs);
    Layout layout;
    layout.tracks.push_back(sceneTrack(1, {-12000, 0, 1000}, {-4000, 0, 1004}));
    layout.tracks.push_back(sceneTrack(2, {4000, 0, 1100}, {12000, 0, 900}));
    scene.layout = &layout;
    const PictureFrame f = framePicture(hs, &layout, 400);
    const RgbImage image = renderPreview(scene, f);
    ASSERT_EQ(image.width, 400);

    auto at = [&](double x, double y) {
        return pixelAt(image, static_cast<std::int32_t>(f.pixelX(x)),
                       static_cast<std::int32_t>(f.pixelY(y)));
    };
    auto is = [](Rgb c, int r, int g, int b) {
        return std::abs(c.red - r) < 40 && std::abs(c.green - g) < 40 && std::abs(c.blue - b) < 40;
    };
    // Flat ground keeps its colour; the south row is at the bottom.
    EXPECT_TRUE(is(at(-15000, 8000), 128, 128, 128));
    EXPECT_TRUE(is(at(15000, -14900), 255, 0, 0));
    EXPECT_TRUE(is(at(-15000, 14900), 128, 128, 128));
    // Beside the terrain: the background.
    EXPECT_FALSE(is(at(-20500, 0), 128, 128, 128));
    // The ends: on the ground (also 4 cm above), floating, buried.
    EXPECT_TRUE(is(at(-12000, 0), 0, 200, 40));
    EXPECT_TRUE(is(at(-4000, 0), 0, 200, 40));
    EXPECT_TRUE(is(at(4000, 0), 30, 100, 255));
    EXPECT_TRUE(is(at(12000, 0), 235, 20, 20));
    // Between the ends: the track.
    EXPECT_TRUE(is(at(-8000, 0), 25, 25, 25));
}

TEST(PreviewPicture, WithoutColoursTheHeightsGoOnARamp) {
    TempFolder tmp;
    // Rising gently to the north: the ramp runs from green (low) to white
    // (high).
    writeTerrainFiles(tmp, 20, 40, [](std::int32_t, std::int32_t y) { return 20 * y; });
    BitmapHeightSource hs(tmp.file("hoehe.bmp"), 1000);
    PreviewScene scene;
    scene.heights = &hs;
    const PictureFrame f = framePicture(hs, nullptr, 200);
    const RgbImage image = renderPreview(scene, f);
    const Rgb low = pixelAt(image, static_cast<std::int32_t>(f.pixelX(0)),
                            static_cast<std::int32_t>(f.pixelY(-19000)));
    const Rgb high = pixelAt(image, static_cast<std::int32_t>(f.pixelX(0)),
                             static_cast<std::int32_t>(f.pixelY(19000)));
    EXPECT_GT(low.green, low.red);
    EXPECT_GT(high.red + high.green + high.blue, 3 * 200);
}
