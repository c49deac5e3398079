// Writing an uncompressed 24-bit bottom-up Windows bitmap (".bmp") with the
// 40-byte info header: the layout whose table opens raster/bitmap_file.h,
// which reads what this writes. The file size and the data offset (54) are
// filled in, the reserved fields are 0, planes 1, 24 bits, no compression;
// each row is padded with 0 bytes to a multiple of 4.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The fields of the info header no reader here looks at, as the writers
// have always filled them.
struct BitmapExtras {
    bool imageSize = true;              // imageSize: the pixel bytes (true) or 0
    std::int32_t pixelsPerMetre = 2835; // x and y resolution: 72 dpi, as image tools write it
};

// Fills bytes[0 .. 3 × width) with the pixels of row `row` in stored order,
// row 0 being the first stored row (the bottom of the picture); a pixel is
// the three bytes b0 b1 b2 (blue, green, red). Called once per row, in order.
using BitmapRowSource = std::function<void(std::int32_t row, std::uint8_t* bytes)>;

// The file image, or an empty one (the source never called) when width or
// height is not positive or the pixel rows do not fit the header's 32-bit
// sizes.
[[nodiscard]] std::vector<std::uint8_t> encodeBitmapFile(std::int32_t width, std::int32_t height,
                                                         const BitmapRowSource& row,
                                                         const BitmapExtras& extras = {});
