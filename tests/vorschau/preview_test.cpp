#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "tests/vorschau/preview_scenes.h"
#include "vorschau/picture.h"
#include "vorschau/preview.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

using Rect = std::vector<std::int64_t>; // i, j, minX, minY, maxX, maxY

// The tiles of a generator run as its files tell them: the layout places
// each tile's model, whose first and last vertex (x, y as i32 at offset 72,
// 50 bytes apart; the count a u16 at 56) are the corners relative to it.
std::vector<Rect> generatedTiles(const std::string& folder) {
    std::vector<Rect> out;
    Layout layout;
    EXPECT_EQ(layout.load(folder + "/Gen.anl"), LoadResult::Loaded);
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
        std::int32_t width, height, pixelCm;
        const char* settings;
        std::size_t tiles;
    } cases[] = {
        // The defaults: 400 m tiles every 200 m on a 10 m grid.
        {100, 60, 1000, "Pixelgroesse=10\n", 15},
        // An odd grid: its halves round down, both in the layout and here.
        {101, 61, 1000, "Pixelgroesse=10\nKachelgroesse=300\nKachelabstand=250\n", 8},
        // Tiles narrower than their spacing, a fractional pixel size.
        {37, 23, 250, "Pixelgroesse=2.5\nKachelgroesse=30\nKachelabstand=20\n", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        writeTerrainFiles(tmp, c.width, c.height,
                          [](std::int32_t x, std::int32_t y) { return 100 * x + y; });
        SettingsFile settings;
        settings.parse(std::string("[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nName=Berge\n") +
                       c.settings);
        ASSERT_EQ(generateTiles(settings, std::string("Gen.anl")), 1);
        const std::vector<Rect> generated = generatedTiles(tmp.path().string());
        EXPECT_EQ(generated.size(), c.tiles);

        BitmapHeightSource heights("hoehe.bmp", c.pixelCm);
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

TEST(PreviewHeights, EndsWithinAFewCentimetresAreOnTheGround) {
    const std::tuple<std::int32_t, std::int32_t, EndFit> cases[] = {
        {1005, 1000, EndFit::OnGround},           {995, 1000, EndFit::OnGround},
        {1006, 1000, EndFit::Floating},           {994, 1000, EndFit::Buried},
        {INT32_MAX, INT32_MIN, EndFit::Floating}, {INT32_MIN, INT32_MAX, EndFit::Buried}};
    for (auto [end, ground, fit] : cases)
        EXPECT_EQ(endFit(end, ground), fit) << end << " over " << ground;
}

TEST(PreviewFrame, FitsTheTerrainTheLayoutAndTheSizeLimits) {
    // A 100 m square terrain around the origin, centred with a margin.
    GridOnly hs(100, 100, 100);
    Layout layout;
    PictureFrame f = framePicture(hs, &layout, 400);
    EXPECT_EQ(f.width, 400);
    EXPECT_GT(f.pixelX(-5000.0), 5.0);
    EXPECT_NEAR(f.pixelX(-5000.0), f.width - f.pixelX(5000.0), 1.0);
    EXPECT_LT(f.pixelY(5000.0), f.pixelY(-5000.0)); // north up
    // A track beyond it widens the frame; a stray object a kilometre away
    // only to one terrain width beyond the terrain; removed records not.
    layout.tracks.push_back(sceneTrack(1, {0, 0, 0}, {15000, 0, 0}));
    f = framePicture(hs, &layout, 400);
    EXPECT_LT(f.pixelX(15000.0), f.width);
    EXPECT_GT(f.pixelX(15000.0), f.width * 0.9);
    layout.objects.resize(1);
    layout.objects[0].id = 1;
    layout.objects[0].position = {100000, 0, 0};
    f = framePicture(hs, &layout, 400);
    EXPECT_NEAR(f.pixelX(15000.0), f.width - f.pixelX(-5000.0), 1.0);
    layout.objects[0].id = 0;
    layout.tracks[0].id = 0;
    f = framePicture(hs, &layout, 400);
    EXPECT_NEAR(f.pixelX(5000.0), f.width - f.pixelX(-5000.0), 1.0);

    // The automatic size: one pixel per grid step, at most 2048 (the least,
    // 1024, is the console test's).
    hs.gridWidth = 30000;
    hs.gridHeight = 10;
    f = framePicture(hs, nullptr);
    EXPECT_EQ(f.width, MaxPreviewSide);
    EXPECT_GE(f.height, 1);
    hs.gridWidth = 10;
    hs.gridHeight = 30000;
    EXPECT_EQ(framePicture(hs, nullptr, 99999).height, MaxPreviewSide);
}
