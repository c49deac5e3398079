#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "hoehen/entry.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A working copy of the sample data in a fresh folder.
class Examples : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    void SetUp() override {
        // tests/data/x -> the source tree's examples/
        fs::path source =
            fs::path(testDataFile("x")).parent_path().parent_path().parent_path() / "examples";
        for (const auto& e : fs::directory_iterator(source))
            fs::copy_file(e.path(), tmp.path() / e.path().filename());
        changeFolder(tmp.path().string());
#ifndef _WIN32
        unsetenv("ZUMT_HOST_DIR");
#endif
        forgetHostFolder();
    }
};

} // namespace

TEST_F(Examples, GeneratedTilesCoverTheWholeTerrain) {
    SettingsFile settings;
    settings.read("Demo.danl", true);
    const TerrainValues terrain = readTerrainValues(settings);
    ASSERT_EQ(generateTiles(terrain, std::string("Demo.anl")), 1);
    EXPECT_TRUE(capture.messages.empty());
    Layout layout;
    ASSERT_EQ(layout.load("Demo.anl"), LoadResult::Loaded);
    EXPECT_EQ(layout.objects.size(), 144u);

    // Every grid point lies in a tile, and every tile has its model.
    TerragenHeightSource heights("gelaende.ter");
    ASSERT_EQ(heights.gridWidth, 256);
    auto tiling = tilingOf(terrain, heights);
    ASSERT_TRUE(tiling);
    std::vector<char> covered(257 * 257, 0);
    for (const Tile& t : tiling->tiles()) {
        for (int c = t.rect.minX; c <= t.rect.maxX; ++c)
            for (int r = t.rect.minY; r <= t.rect.maxY; ++r)
                covered[static_cast<std::size_t>(r * 257 + c)] = 1;
        EXPECT_TRUE(fileExists((tmp.path() / "Demo" /
                                ("bmp" + std::to_string(t.i) + "_" + std::to_string(t.j) + ".mod"))
                                   .string()));
    }
    EXPECT_EQ(std::count(covered.begin(), covered.end(), 1), 257 * 257);
}

// The heights themselves are held by the committed height case; here every
// track end of the sample lands above the base plate (the lowest terrain
// point at 2 cm, "Gleise" adds 2 cm).
TEST_F(Examples, TheSampleLayoutFitsTheTerrain) {
    std::string arg = (tmp.path() / "Strecke.anl").string();
    char program[] = "zumt_hoehen";
    char* argv[] = {program, arg.data(), nullptr};
    ASSERT_EQ(hoehenMain(2, argv), 0);
    EXPECT_TRUE(capture.messages.empty());
    Layout after;
    ASSERT_EQ(after.load("Strecke.anl"), LoadResult::Loaded);
    for (const TrackRecord& t : after.tracks)
        EXPECT_TRUE(t.start.z > 0 && t.end.z > 0) << t.name;
}
