#include "raster/bitmap_writer.h"

#include "common/bytes.h"

#include <cstddef>

std::vector<std::uint8_t> encodeBitmapFile(std::int32_t width, std::int32_t height,
                                           const BitmapRowSource& row, const BitmapExtras& extras) {
    if (width <= 0 || height <= 0) return {};
    const std::uint64_t rowBytes = 3 * std::uint64_t{static_cast<std::uint32_t>(width)};
    const std::uint64_t stride = (rowBytes + 3) / 4 * 4;
    const std::uint64_t pixelBytes = stride * static_cast<std::uint32_t>(height);
    // The file header's size is 32 bits.
    if (pixelBytes > 0xFFFFFFFFu - 54) return {};
    std::vector<std::uint8_t> image(static_cast<std::size_t>(54 + pixelBytes));
    ByteCursor w(image.data(), image.size());
    w.bytes("BM", 2);
    w.u32(static_cast<std::uint32_t>(54 + pixelBytes));
    w.u16(0);
    w.u16(0);
    w.u32(54);
    w.u32(40);
    w.i32(width);
    w.i32(height); // positive: bottom-up
    w.u16(1);
    w.u16(24);
    w.u32(0);
    w.u32(extras.imageSize ? static_cast<std::uint32_t>(pixelBytes) : 0);
    w.i32(extras.pixelsPerMetre);
    w.i32(extras.pixelsPerMetre);
    w.u32(0);
    w.u32(0);
    // The rows are filled in place; the vector's zeros are their padding.
    for (std::int32_t r = 0; r < height; ++r)
        row(r, image.data() + 54 + static_cast<std::size_t>(r) * stride);
    return image;
}
