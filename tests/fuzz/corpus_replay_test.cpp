// Every seed of the fuzzers, and every input that once broke a reader's
// promise (tests/data/fuzz/<target>), run through the reader checks as an
// ordinary test: on every build, the Windows one under Wine included.
#include "fuzz/reader_checks.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Check = std::string (*)(const std::uint8_t*, std::size_t);

std::string corpusFolder(const std::string& target) {
    const char* dir = std::getenv("ZUMT_FUZZ_CORPUS");
    return std::string(dir ? dir : "fuzz/corpus") + "/" + target;
}

// Runs the check over every file of the folder, and over every prefix (a file
// cut anywhere) of those named `cut` ("*": all); returns how many there were.
int replay(const std::string& folder, Check check, const std::string& cut = "") {
    int files = 0;
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        if (!e.is_regular_file()) continue;
        SCOPED_TRACE(e.path().string());
        const std::vector<std::uint8_t> bytes = readBytes(e.path().string());
        EXPECT_EQ(check(bytes.data(), bytes.size()), "");
        const bool cuts = cut == "*" || cut == e.path().filename().string();
        for (std::size_t n = 0; cuts && n < bytes.size(); ++n) {
            const std::string problem = check(bytes.data(), n);
            if (problem.empty()) continue;
            ADD_FAILURE() << "cut to " << n << " bytes: " << problem;
            break;
        }
        ++files;
    }
    return files;
}

} // namespace

TEST(FuzzCorpus, EveryReaderKeepsItsPromises) {
    // The seeds cut at every byte: each raster format in all its header forms
    // (the layout's cuts have a test of their own, with its messages).
    const std::tuple<const char*, Check, const char*> targets[] = {
        {"settings", checkSettingsInput, ""},
        {"bitmap", checkBitmapInput, "*"},
        {"terragen", checkTerragenInput, "*"},
        {"layout", checkLayoutInput, ""},
        {"geotiff", checkGeotiffInput, "f32_deflate_p3_tiled.tif"},
        {"grids", checkGridsInput, "terrain.asc"},
        {"archives", checkArchivesInput, "zip64.zip"}};
    for (auto [target, check, cuts] : targets) {
        SCOPED_TRACE(target);
        EXPECT_GT(replay(corpusFolder(target), check, cuts), 0) << "no seeds";
        replay(testDataFile(std::string("fuzz/") + target), check);
    }
}
