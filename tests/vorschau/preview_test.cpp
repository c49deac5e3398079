#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "tests/support/test_support.h"
#include "tests/vorschau/preview_scenes.h"
#include "vorschau/picture.h"
#include "vorschau/preview.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>

namespace {

using Rect = std::vector<std::int64_t>; // i, j, minX, minY, maxX, maxY

// One tile of a generator run: its indices and its vertices, x and y in
// layout cm, z as its model holds it.
struct GeneratedTile {
    int i = -1;
    int j = -1;
    std::vector<Point3> vertices;
};

// The tiles of a generator run as its files tell them: the layout places
// each tile's model, whose vertices (x, y, z as i32 at offset 72, 50 bytes
// apart; the count a u16 at 56) lie relative to it.
std::vector<GeneratedTile> generatedTiles(const std::string& folder) {
    std::vector<GeneratedTile> out;
    Layout layout;
    EXPECT_EQ(layout.load(folder + "/Gen.anl"), LoadResult::Loaded);
    for (const ObjectRecord& o : layout.objects) {
        GeneratedTile& t = out.emplace_back();
        EXPECT_EQ(std::sscanf(o.path.c_str(), "Berge\\bmp%d_%d", &t.i, &t.j), 2) << o.path;
        const std::vector<std::uint8_t> model = readBytes(
            folder + "/Berge/bmp" + std::to_string(t.i) + "_" + std::to_string(t.j) + ".mod");
        ByteReader r(model.data(), model.size());
        r.skip(56);
        const std::uint16_t count = r.u16();
        r.skip(72 - 58);
        for (std::size_t k = 0; k < count; ++k, r.skip(50 - 12)) {
            const std::int32_t x = r.i32(), y = r.i32(), z = r.i32();
            t.vertices.push_back({o.position.x + x, o.position.y + y, z});
        }
        EXPECT_FALSE(r.failed() || t.vertices.empty()) << o.path;
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

// The tiles the generator writes are the ones outlined, and a track end on
// any of their vertices is on the ground: the height program gives it the
// vertex's height (with Faktor 1 the generator's mapping is its own).
TEST_F(PreviewTiles, OutlinesAreTheTilesTheGeneratorWritesAndTheirVerticesGround) {
    struct Case {
        std::int32_t width, height; // grid steps
        const char* settings;
        std::size_t tiles;
    } cases[] = {
        // The defaults: 400 m tiles every 200 m on a 10 m grid.
        {100, 60, "Hoehe=hoehe.bmp\nPixelgroesse=10\n", 15},
        // An odd grid: its halves round down, in the layout, here and in the
        // height program.
        {101, 61, "Hoehe=hoehe.bmp\nPixelgroesse=10\nKachelgroesse=300\nKachelabstand=250\n", 8},
        // Tiles narrower than their spacing, a fractional pixel size.
        {37, 23, "Hoehe=hoehe.bmp\nPixelgroesse=2.5\nKachelgroesse=30\nKachelabstand=20\n", 8},
        // Terragen grids of an odd and an even number of steps, 2 m apart.
        {37, 23, "Hoehe=g.ter\nKachelgroesse=30\nKachelabstand=20\n", 6},
        {36, 22, "Hoehe=g.ter\nKachelgroesse=30\nKachelabstand=20\n", 6},
    };
    auto terrain = [](std::int32_t x, std::int32_t y) { return 100 * x + 30 * y; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        writeTerrainFiles(tmp, c.width, c.height, terrain);
        writeBytes(tmp.file("g.ter"), terragenGrid(c.width, c.height, 2, terrain));
        SettingsFile settings;
        settings.parse(std::string("[Terrain1]\nFarbe=farbe.bmp\nName=Berge\n") + c.settings);
        const TerrainValues values = readTerrainValues(settings);
        ASSERT_EQ(generateTiles(values, std::string("Gen.anl")), 1);
        const std::vector<GeneratedTile> generated = generatedTiles(tmp.path().string());
        EXPECT_EQ(generated.size(), c.tiles);

        const std::unique_ptr<HeightSource> heights = openHeightSource(values);
        ASSERT_TRUE(heights);
        std::optional<Tiling> tiling = tilingOf(values, *heights);
        ASSERT_TRUE(tiling);
        std::vector<Rect> drawn, written;
        for (const TileOutline& t : tileOutlines(*tiling, *heights))
            drawn.push_back({t.i, t.j, t.minX, t.minY, t.maxX, t.maxY});
        const TerrainMapping mapping = terrainMapping(values, *heights);
        std::size_t off = 0;
        for (const GeneratedTile& t : generated) {
            const Point3 first = t.vertices.front(), last = t.vertices.back();
            written.push_back({t.i, t.j, first.x, first.y, last.x, last.y});
            for (const Point3& v : t.vertices) {
                const std::int32_t under = trackHeightUnder(*heights, mapping, v.x, v.y);
                off += under != v.z || endFit(v.z, under) != EndFit::OnGround;
            }
        }
        EXPECT_EQ(drawn, written);
        EXPECT_EQ(off, 0u);
        EXPECT_TRUE(capture.messages.empty());
        std::filesystem::remove_all(tmp.path() / "Berge");
    }
}

namespace {

// Grid point (1, 1) red, every other grey: colour pixel (c, r) is the colour
// of grid point (c, r), as on the tiles' vertices.
class OneRedPoint : public ColourSource {
  public:
    OneRedPoint(std::int32_t w, std::int32_t h) {
        width = w;
        height = h;
    }
    PixelColour colourAt(std::int32_t x, std::int32_t y) const override {
        return x == 1 && y == 1 ? PixelColour{255, 0, 0, 1} : PixelColour{128, 128, 128, 1};
    }
};

} // namespace

TEST(PreviewTerrain, GridPointsAreDrawnWhereTheTilesPutThem) {
    // On flat ground the colours stay as they are. The picture pixel over
    // the point's layout spot, as the generated layout puts it, is red but
    // for a trace of the grey around; half a step off it would be half grey.
    for (const auto& [w, h] : {std::pair{5, 3}, std::pair{4, 2}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        GridOnly grid(w, h, 1000);
        OneRedPoint colours(w, h);
        PreviewScene scene;
        scene.heights = &grid;
        scene.colours = &colours;
        const PictureFrame f = framePicture(grid, nullptr, 240);
        const PreviewPicture image = renderPreview(scene, f);
        const Rgb at = pixelAt(image, static_cast<std::int32_t>(f.pixelX((1 - w / 2) * 1000.0)),
                               static_cast<std::int32_t>(f.pixelY((1 - h / 2) * 1000.0)));
        EXPECT_GT(at.red, 240);
        EXPECT_LT(at.green, 20);
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

// Outlines where neighbouring tile centres lie 40 pixels apart or more, the
// terrain's outline and the count elsewhere, and the option forces either:
// the outlines change the picture inside the terrain, the count only its
// top left corner.
TEST(PreviewTileDrawing, OutlinesOnlyWhereTheyStayReadable) {
    GridOnly small(120, 120, 1000), large(1100, 1100, 1000); // 1.2 and 11 km, 10 m a step
    // The grid, the option, whether the tiles are outlined.
    const std::tuple<const GridOnly*, TileDrawing, bool> cases[] = {
        {&small, TileDrawing::Automatic, true},
        {&large, TileDrawing::Automatic, false},
        {&large, TileDrawing::Outlines, true},
        {&small, TileDrawing::CountOnly, false}};
    for (const auto& [grid, drawing, outlines] : cases) {
        SCOPED_TRACE(testing::Message() << grid->gridWidth << " " << static_cast<int>(drawing));
        PreviewScene scene;
        scene.heights = grid;
        const PictureFrame f = framePicture(*grid, nullptr, 400);
        const PreviewPicture plain = renderPreview(scene, f);
        scene.tiling = tilingOf(TerrainValues{}, *grid);
        scene.tileDrawing = drawing;
        EXPECT_EQ(tileOutlinesReadable(*scene.tiling, 1000, f), grid == &small);
        const PreviewPicture drawn = renderPreview(scene, f);
        int changed = 0, black = 0; // inside the terrain; in the note's corner
        for (std::int32_t y = 15; y < 300; ++y)
            for (std::int32_t x = 15; x < 300; ++x) {
                const Rgb a = pixelAt(plain, x, y), b = pixelAt(drawn, x, y);
                if (y < 30 && x < 60)
                    black += b.red == 0 && b.green == 0 && b.blue == 0; // "3025 Kacheln"
                else if (y >= 100 && x >= 100)
                    changed += a.red != b.red || a.green != b.green || a.blue != b.blue;
            }
        EXPECT_EQ(changed > 0, outlines);
        EXPECT_EQ(black > 0, !outlines);
    }
}
