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
    ASSERT_EQ(generateTiles(settings, std::string("Demo.anl")), 1);
    EXPECT_TRUE(capture.messages.empty());

    Layout layout;
    ASSERT_EQ(layout.load("Demo.anl"), LoadResult::Loaded);
    TerragenHeightSource heights("gelaende.ter");
    ASSERT_EQ(heights.gridWidth, 256);
    TileLengths lengths = tileLengths(settings);
    auto tiling = planTiling(heights.gridWidth, heights.gridHeight, heights.pixelSize,
                             lengths.halfTileCm, lengths.spacingCm);
    ASSERT_TRUE(tiling);
    ASSERT_EQ(layout.objectCount(), tiling->tileCount());
    EXPECT_EQ(layout.objectCount(), 144);

    // Every grid point lies in a tile, and every tile has its model.
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

TEST_F(Examples, TheSampleLayoutFitsTheTerrain) {
    Layout before;
    ASSERT_EQ(before.load("Strecke.anl"), LoadResult::Loaded);
    std::string arg = (tmp.path() / "Strecke.anl").string();
    char program[] = "zumt_hoehen";
    char* argv[] = {program, arg.data(), nullptr};
    ASSERT_EQ(hoehenMain(2, argv), 0);
    EXPECT_TRUE(capture.messages.empty());

    Layout after;
    ASSERT_EQ(after.load("Strecke.anl"), LoadResult::Loaded);
    // The heights themselves are the committed height case's; here: every
    // track end is above the base plate (the lowest terrain point lands at
    // 2 cm, "Gleise" adds 2 cm), the buffer stops and the bridge follow
    // their tracks.
    for (const TrackRecord& t : after.tracks) {
        EXPECT_GT(t.start.z, 0) << t.name;
        EXPECT_GT(t.end.z, 0) << t.name;
    }
    int linked = 0;
    for (const TrackRecord& t : after.tracks)
        if (t.link) {
            ++linked;
            EXPECT_NE(after.objects[*t.link].position.z, 0);
        }
    EXPECT_EQ(linked, 3);
    // The cameras are raised too ("Kameras" in hoehen.ini), the church of
    // another model folder is not.
    EXPECT_NE(after.cameras[1].position.z, before.cameras[1].position.z);
    EXPECT_EQ(after.objects.back().path, "..\\Haeuser\\Kirche");
    EXPECT_EQ(after.objects.back().position.z, 0);
}
