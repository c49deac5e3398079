#include "raster/colour_source.h"

ColourBitmap::ColourBitmap(std::string_view path, std::int32_t size) {
    if (bitmap.read(path)) take(size);
}

ColourBitmap::ColourBitmap(std::string_view name, const ByteSource& source, std::int32_t size) {
    if (bitmap.read(name, source)) take(size);
}

void ColourBitmap::take(std::int32_t size) {
    width = bitmap.width;
    height = bitmap.height;
    pixelSize = size;
}

PixelColour ColourBitmap::colourAt(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return PixelColour{};
    // Stored blue, green, red.
    const std::uint8_t* p = bitmap.pixels.data() +
                            static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.stride) +
                            3 * static_cast<std::size_t>(x);
    return PixelColour{p[2], p[1], p[0], 1};
}
