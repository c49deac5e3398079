// The preview picture as a PNG file: 8-bit RGB, not interlaced, compressed
// by stb_image_write (filtered rows, deflate), which every picture viewer
// reads. Written through the safe replacement like every file we write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The largest width or height the writer accepts; the preview stays far
// below it, and the encoder's sizes stay far from its int limits.
inline constexpr std::int32_t MaxPngSide = 8192;

// An RGB picture: rows from the top down, three bytes (red, green, blue) per
// pixel, no padding.
struct RgbImage {
    std::int32_t width = 0;        // pixels
    std::int32_t height = 0;       // pixels
    std::vector<std::uint8_t> rgb; // width × height × 3 bytes
};

// The PNG file image of the picture. Empty when the picture is not one the
// writer can hold: width or height outside 1 .. MaxPngSide, or rgb not
// exactly width × height × 3 bytes.
std::vector<std::uint8_t> encodePng(const RgbImage& image);

// Encodes the picture and writes it through the safe replacement. False when
// the picture cannot be encoded (nothing written, no message: the caller's
// mistake) or the file cannot be written (the platform's message).
bool writePng(std::string_view path, const RgbImage& image);
