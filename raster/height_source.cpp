#include "raster/height_source.h"

#include "common/message.h"
#include "common/numeric.h"

#include <algorithm>
#include <climits>
#include <string>

namespace {

// Our own word for a terrain file that reads cleanly but cannot be a grid.
constexpr const char* TooFewHeights = "Zu wenig Hoehendaten in %s!\n";

// A grey value of a height bitmap is the height in centimetres + 10000.
constexpr double BitmapHeightOffset = 10000.0;

// Pixel size of a terrain whose x scale is exactly 0.
constexpr std::int32_t ZeroScalePixelSize = 781;

} // namespace

BitmapHeightSource::BitmapHeightSource(std::string_view path, std::int32_t size) {
    if (bitmap.read(path)) scan(size);
}

BitmapHeightSource::BitmapHeightSource(std::string_view name, const ByteSource& source,
                                       std::int32_t size) {
    if (bitmap.read(name, source)) scan(size);
}

void BitmapHeightSource::scan(std::int32_t size) {
    gridWidth = bitmap.width;
    gridHeight = bitmap.height;
    if (gridWidth == 0 || gridHeight == 0) return;

    // The grid points 0 .. width and 0 .. height clamp onto the pixels, so
    // their values are exactly the pixel values, each pixel at least once.
    // Visiting the pixels row by row gives the same bounds as the points
    // column by column and keeps to the order of the memory.
    std::int32_t lo = bitmap.pixelAt(0, 0);
    std::int32_t hi = lo;
    const std::size_t rowLength = 3 * static_cast<std::size_t>(bitmap.width);
    for (std::int32_t y = 0; y < bitmap.height; ++y) {
        const std::uint8_t* p = bitmap.pixels.data() + static_cast<std::size_t>(y) *
                                                           static_cast<std::size_t>(bitmap.stride);
        const std::uint8_t* end = p + rowLength;
        for (; p != end; p += 3) {
            const std::int32_t v = (p[0] << 16) | (p[1] << 8) | p[2];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    pixelSize = size;
    minHeight = lo - BitmapHeightOffset;
    maxHeight = hi - BitmapHeightOffset;
}

double BitmapHeightSource::heightAt(std::int32_t x, std::int32_t y) const {
    if (gridWidth == 0) return 0.0;
    // The mean of the four pixels that meet at the corner. Four 24-bit values
    // add up without overflow in 32 bits; at the border the clamping repeats
    // the border pixels. Stepping back from INT32_MIN would overflow; it
    // is clamped to 0 like any other negative coordinate.
    const std::int32_t x0 = x == INT32_MIN ? x : x - 1;
    const std::int32_t y0 = y == INT32_MIN ? y : y - 1;
    const std::int32_t sum = bitmap.pixelAt(x, y) + bitmap.pixelAt(x0, y0) + bitmap.pixelAt(x0, y) +
                             bitmap.pixelAt(x, y0);
    return static_cast<double>(sum) * 0.25 - BitmapHeightOffset;
}

TerragenHeightSource::TerragenHeightSource(std::string_view path) {
    scan(path, terrain.read(path));
}

TerragenHeightSource::TerragenHeightSource(std::string_view name, const ByteSource& source) {
    scan(name, terrain.read(name, source));
}

void TerragenHeightSource::scan(std::string_view path, int clean) {
    gridWidth = terrain.xpts - 1;
    gridHeight = terrain.ypts - 1;
    if (gridWidth <= 0 || gridHeight <= 0 || terrain.samples.empty()) {
        // A reader's message has already named the problem; a file that read
        // without one gets ours, rather than a flat nothing without a word.
        if (clean) report(TooFewHeights, std::string(path).c_str());
        terrain.release();
        gridWidth = gridHeight = pixelSize = 0;
        return;
    }

    // scaleX is widened before the product: 0.29f × 100 is 28.99... in
    // double and truncates to 28, where a float product would round to 29.
    pixelSize = terrain.scaleX == 0.0f ? ZeroScalePixelSize
                                       : truncToInt32(static_cast<double>(terrain.scaleX) * 100.0);

    // The height is a monotonic function of the sample (exact up to the
    // final products, which round monotonically), so the lowest and highest
    // height belong to the lowest and highest sample. Every grid point is a
    // sample, and every sample a grid point.
    std::int16_t lo = terrain.samples[0];
    std::int16_t hi = lo;
    const std::int16_t* s = terrain.samples.data();
    const std::size_t count = terrain.samples.size();
    for (std::size_t i = 0; i < count; ++i) {
        lo = std::min(lo, s[i]);
        hi = std::max(hi, s[i]);
    }
    const double a = terrain.sampleHeight(lo);
    const double b = terrain.sampleHeight(hi);
    // A negative HeightScale or vertical scale turns the order round.
    minHeight = b < a ? b : a;
    maxHeight = b < a ? a : b;
}

double TerragenHeightSource::heightAt(std::int32_t x, std::int32_t y) const {
    return terrain.heightAt(x, y);
}
