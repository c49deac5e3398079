// The bitmap reader and the two sources built on it over arbitrary bytes.
#include "common/byte_source.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reader_checks.h"
#include "raster/colour_source.h"
#include "raster/height_source.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace {

bool released(const BitmapFile& b) {
    return b.magic[0] == 0 && b.magic[1] == 0 && b.fileSize == 0 && b.dataOffset == 0 &&
           b.headerSize == 0 && b.width == 0 && b.height == 0 && b.planes == 0 && b.bitCount == 0 &&
           b.compression == 0 && b.stride == 0 && b.pixels.empty();
}

// The points every source is sampled at: corners, the middle, one step
// outside and the ends of the coordinate range.
std::vector<std::pair<std::int32_t, std::int32_t>> samplePoints(std::int32_t w, std::int32_t h) {
    return {{0, 0},
            {w, h},
            {w - 1, h - 1},
            {w / 2, h / 2},
            {-1, h + 1},
            {w + 1, -1},
            {INT32_MIN, INT32_MIN},
            {INT32_MAX, INT32_MAX},
            {INT32_MIN, INT32_MAX},
            {INT32_MAX, 0}};
}

// What a successful read promises about the record and the file's bytes.
std::string readProblem(const BitmapFile& bmp, const std::uint8_t* data, std::size_t size) {
    if (!bmp.isValid()) return "a bitmap that read is not valid";
    if (bmp.width <= 0 || bmp.height <= 0) return "a bitmap that read has no pixels";
    if (bmp.dataOffset != 54 && bmp.dataOffset != 26) return "unexpected data offset";
    const std::uint64_t stride = (3 * static_cast<std::uint64_t>(bmp.width) + 3) / 4 * 4;
    if (static_cast<std::uint64_t>(bmp.stride) != stride) return "wrong stride";
    if (bmp.pixels.size() != stride * static_cast<std::uint64_t>(bmp.height))
        return "pixel block of the wrong size";
    // The rows are the file's bytes after the headers, as they stand.
    if (bmp.dataOffset + bmp.pixels.size() > size) return "more pixel bytes than the file holds";
    if (std::memcmp(bmp.pixels.data(), data + bmp.dataOffset, bmp.pixels.size()) != 0)
        return "pixel rows differ from the file";
    for (auto [x, y] : samplePoints(bmp.width, bmp.height)) {
        const std::int32_t cx = std::clamp(x, 0, bmp.width - 1);
        const std::int32_t cy = std::clamp(y, 0, bmp.height - 1);
        const std::uint8_t* p = data + bmp.dataOffset + static_cast<std::size_t>(cy) * stride +
                                3 * static_cast<std::size_t>(cx);
        if (bmp.pixelAt(x, y) != ((p[0] << 16) | (p[1] << 8) | p[2]))
            return "pixelAt does not clamp onto the stored pixel";
    }
    return {};
}

std::string heightSourceProblem(const BitmapHeightSource& hs, const BitmapFile& bmp, bool ok) {
    if (!ok) {
        if (hs.gridWidth != 0 || hs.gridHeight != 0 || hs.heightAt(0, 0) != 0.0)
            return "a height source over an unusable bitmap is not empty";
        return {};
    }
    if (hs.gridWidth != bmp.width || hs.gridHeight != bmp.height || hs.pixelSize != 100)
        return "height source grid differs from the bitmap";
    std::int32_t lo = INT32_MAX;
    std::int32_t hi = INT32_MIN;
    for (std::int32_t y = 0; y < bmp.height; ++y)
        for (std::int32_t x = 0; x < bmp.width; ++x) {
            lo = std::min(lo, bmp.pixelAt(x, y));
            hi = std::max(hi, bmp.pixelAt(x, y));
        }
    if (hs.minHeight != lo - 10000.0 || hs.maxHeight != hi - 10000.0)
        return "lowest or highest height is not that of a pixel";
    for (auto [x, y] : samplePoints(hs.gridWidth, hs.gridHeight)) {
        const double h = hs.heightAt(x, y);
        if (!(h >= hs.minHeight && h <= hs.maxHeight))
            return "a corner height lies outside the lowest and highest height";
    }
    return {};
}

std::string colourProblem(const ColourBitmap& cb, const BitmapFile& bmp, bool ok) {
    const PixelColour none{};
    auto isNone = [&](const PixelColour& c) {
        return c.red == none.red && c.green == none.green && c.blue == none.blue &&
               c.hasColour == 0;
    };
    if (!ok) {
        if (cb.width != 0 || cb.height != 0 || cb.pixelSize != 0 || !isNone(cb.colourAt(0, 0)))
            return "a colour bitmap over an unusable file is not empty";
        return {};
    }
    if (cb.width != bmp.width || cb.height != bmp.height || cb.pixelSize != 50)
        return "colour bitmap size differs from the bitmap";
    for (auto [x, y] : samplePoints(cb.width, cb.height)) {
        const PixelColour c = cb.colourAt(x, y);
        const bool inside = x >= 0 && y >= 0 && x < cb.width && y < cb.height;
        if (!inside) {
            if (!isNone(c)) return "a colour outside the picture";
            continue;
        }
        const std::int32_t v = bmp.pixelAt(x, y); // blue, green, red
        if (c.hasColour != 1 || c.blue != (v >> 16) || c.green != ((v >> 8) & 0xFF) ||
            c.red != (v & 0xFF))
            return "colourAt differs from the stored pixel";
    }
    return {};
}

} // namespace

std::string checkBitmapInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource input(data, size);
    const std::string path = "input.bmp";
    Captured captured;

    BitmapFile bmp;
    const int ok = bmp.read(path, input);
    if (ok != 0 && ok != 1) return "read gave neither 1 nor 0";
    if (ok) {
        if (!captured.messages.empty()) return "a successful read showed a message";
        std::string problem = readProblem(bmp, data, size);
        if (!problem.empty()) return problem;
    } else {
        if (captured.messages.size() != 1) return "a failed read did not show one message";
        if (captured.messages[0].find(path) == std::string::npos)
            return "the message does not name the file";
        if (!released(bmp)) return "a failed read left the record filled";
        if (bmp.pixelAt(0, 0) != 0) return "a released record gives a pixel";
    }

    captured.reset();
    {
        BitmapHeightSource hs(path, input, 100);
        if (captured.messages.size() != (ok ? 0u : 1u))
            return "the height source showed other messages than the reader";
        std::string problem = heightSourceProblem(hs, bmp, ok);
        if (!problem.empty()) return problem;
    }
    captured.reset();
    {
        ColourBitmap cb(path, input, 50);
        if (captured.messages.size() != (ok ? 0u : 1u))
            return "the colour bitmap showed other messages than the reader";
        std::string problem = colourProblem(cb, bmp, ok);
        if (!problem.empty()) return problem;
    }
    bmp.release();
    if (!released(bmp)) return "release left the record filled";
    return {};
}
