// Every seed of the fuzzers, and every input that once broke a reader's
// promise (tests/data/fuzz/<target>), run through the reader checks as an
// ordinary test: on every build, the Windows one under Wine included.
#include "fuzz/reader_checks.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Check = std::string (*)(const std::uint8_t*, std::size_t);

std::string corpusFolder(const std::string& target) {
    const char* dir = std::getenv("ZUMT_FUZZ_CORPUS");
    return std::string(dir ? dir : "fuzz/corpus") + "/" + target;
}

// Runs the check over every file of the folder; returns how many there were.
int replay(const std::string& folder, Check check) {
    int files = 0;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        SCOPED_TRACE(e.path().string());
        const std::vector<std::uint8_t> bytes = readBytes(e.path().string());
        EXPECT_EQ(check(bytes.data(), bytes.size()), "");
        ++files;
    }
    return files;
}

void replayTarget(const std::string& target, Check check) {
    EXPECT_GT(replay(corpusFolder(target), check), 0) << "no seeds for " << target;
    replay(testDataFile("fuzz/" + target), check);
}

} // namespace

TEST(FuzzCorpus, SettingsKeepTheirPromises) {
    replayTarget("settings", checkSettingsInput);
}

TEST(FuzzCorpus, BitmapsKeepTheirPromises) {
    replayTarget("bitmap", checkBitmapInput);
}

TEST(FuzzCorpus, TerrainsKeepTheirPromises) {
    replayTarget("terragen", checkTerragenInput);
}

TEST(FuzzCorpus, LayoutsKeepTheirPromises) {
    replayTarget("layout", checkLayoutInput);
}

TEST(FuzzCorpus, ElevationFilesKeepTheirPromises) {
    replayTarget("geotiff", checkGeotiffInput);
    replayTarget("grids", checkGridsInput);
}
