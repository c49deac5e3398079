// The Terragen reader and its height source over arbitrary bytes.
#include "common/byte_source.h"
#include "common/numeric.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reader_checks.h"
#include "raster/height_source.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace {

bool released(const TerragenFile& t) {
    return t.xpts == 0 && t.ypts == 0 && t.size == 0 && t.scaleX == 0.0f && t.scaleY == 0.0f &&
           t.scaleZ == 0.0f && t.heightScale == 0 && t.baseHeight == 0 && t.samples.empty();
}

bool sameDouble(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool startsWith(const std::string& text, const char* head) {
    return text.rfind(head, 0) == 0;
}

// Coordinates inside, on the border of and far outside a side of n points.
std::vector<std::int32_t> coordinates(std::int32_t n) {
    return {INT32_MIN, -1, 0, n / 2, n - 1, n, INT32_MAX};
}

std::string readProblem(const TerragenFile& ter, const std::vector<std::string>& messages,
                        int clean, std::size_t size) {
    if (clean != 0 && clean != 1) return "read gave neither 1 nor 0";
    if (clean != (messages.empty() ? 1 : 0))
        return "the result does not tell whether a message was shown";
    if (messages.size() > 1) return "more than one message";
    if (!messages.empty() &&
        (startsWith(messages[0], "Can't open") || startsWith(messages[0], "Keyword")) &&
        !released(ter))
        return "a file that is no terrain left fields set";
    if (ter.samples.empty()) {
        if (ter.heightAt(0, 0) != 0.0) return "a terrain without samples gives a height";
        return {};
    }
    if (ter.samples.size() != static_cast<std::size_t>(ter.xpts) * ter.ypts)
        return "samples do not match xpts x ypts";
    if (2 * ter.samples.size() > size) return "more samples than the file holds";
    for (std::int32_t x : coordinates(ter.xpts))
        for (std::int32_t y : coordinates(ter.ypts)) {
            const std::size_t cx = static_cast<std::size_t>(std::clamp(x, 0, ter.xpts - 1));
            const std::size_t cy = static_cast<std::size_t>(std::clamp(y, 0, ter.ypts - 1));
            if (!sameDouble(ter.heightAt(x, y), ter.sampleHeight(ter.samples[cy * ter.xpts + cx])))
                return "heightAt does not clamp onto the stored sample";
        }
    return {};
}

std::string sourceProblem(const TerragenHeightSource& src, const TerragenFile& ter) {
    const bool usable = !ter.samples.empty() && ter.xpts >= 2 && ter.ypts >= 2;
    if (!usable) {
        if (src.gridWidth != 0 || src.gridHeight != 0 || src.pixelSize != 0 ||
            src.heightAt(0, 0) != 0.0 || !released(src.terrain))
            return "a source over an unusable terrain is not empty";
        return {};
    }
    if (src.gridWidth != ter.xpts - 1 || src.gridHeight != ter.ypts - 1)
        return "the grid is not the samples";
    const std::int32_t pixelSize =
        ter.scaleX == 0.0f ? 781 : truncToInt32(static_cast<double>(ter.scaleX) * 100.0);
    if (src.pixelSize != pixelSize) return "wrong pixel size";
    // Every sample's height lies between the lowest and the highest (where
    // the scales leave them numbers at all).
    if (!std::isfinite(src.minHeight) || !std::isfinite(src.maxHeight)) return {};
    if (src.minHeight > src.maxHeight) return "lowest height above the highest";
    for (std::size_t i = 0; i < ter.samples.size(); ++i) {
        const double h = ter.sampleHeight(ter.samples[i]);
        if (std::isfinite(h) && (h < src.minHeight || h > src.maxHeight))
            return "a sample lies outside the lowest and highest height";
    }
    for (std::int32_t x : coordinates(src.gridWidth + 1))
        for (std::int32_t y : coordinates(src.gridHeight + 1))
            if (!sameDouble(src.heightAt(x, y), ter.heightAt(x, y)))
                return "the source's height differs from the terrain's";
    return {};
}

} // namespace

std::string checkTerragenInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource input(data, size);
    const std::string path = "input.ter";
    Captured captured;

    TerragenFile ter;
    const int clean = ter.read(path, input);
    std::string problem = readProblem(ter, captured.messages, clean, size);
    if (!problem.empty()) return problem;
    const std::vector<std::string> readerMessages = captured.messages;

    captured.reset();
    {
        TerragenHeightSource src(path, input);
        // Its own message only for a file that read cleanly but is no grid.
        const bool usable = !ter.samples.empty() && ter.xpts >= 2 && ter.ypts >= 2;
        std::vector<std::string> expected = readerMessages;
        if (clean && !usable) expected.push_back("Zu wenig Hoehendaten in " + path + "!\n");
        if (captured.messages != expected) return "the source showed other messages";
        problem = sourceProblem(src, ter);
        if (!problem.empty()) return problem;
    }
    ter.release();
    if (!released(ter)) return "release left the record filled";
    return {};
}
