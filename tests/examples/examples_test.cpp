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

// What tiles the generator makes is its own tests'; here the sample data
// serves it: every tile of the terrain gets its model, silently.
TEST_F(Examples, TheSampleTerrainGivesEveryTile) {
    SettingsFile settings;
    settings.read("Demo.danl", true);
    const TerrainValues terrain = readTerrainValues(settings);
    ASSERT_EQ(generateTiles(terrain, std::string("Demo.anl")), 1);
    EXPECT_TRUE(capture.messages.empty());
    Layout layout;
    ASSERT_EQ(layout.load("Demo.anl"), LoadResult::Loaded);
    EXPECT_EQ(layout.objects.size(), 144u);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path() / "Demo"), {}), 144);
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
