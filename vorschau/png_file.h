// The preview picture as a PNG file: 8-bit RGB, not interlaced, its pixel
// rows kept in stored deflate blocks, so no compression code is needed.
//
// File layout (every number big-endian):
//   OFFSET  SIZE  MEANING
//   0       8     signature 89 50 4E 47 0D 0A 1A 0A
//   8       ..    chunks, each:
//                   4    u32   length n of the data
//                   4    tag   "IHDR", "IDAT" or "IEND"
//                   n    data
//                   4    u32   CRC-32 of tag and data (not of the length)
// IHDR data, 13 bytes: width (u32), height (u32), bit depth 8, colour type 2
// (RGB), compression 0, filter method 0, interlace 0.
// IDAT data: one zlib stream (all IDAT chunks together form it):
//   2      header 78 01 (deflate, 32 KiB window; (78 × 256 + 01) % 31 == 0)
//   ..     stored blocks, each:
//            1    03 bits BFINAL (1 on the last block), BTYPE 00, then the
//                 rest of the byte is padding: 01 or 00
//            2    u16 LEN   (little-endian, like everything inside deflate)
//            2    u16 NLEN  ones' complement of LEN
//            LEN  bytes of the raw stream
//   4      Adler-32 of the raw stream (big-endian)
// The raw stream is the rows from the top down, each a filter byte 0 (none)
// followed by width × 3 bytes red, green, blue.
// IEND data: none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The largest width or height the writer accepts. The preview stays far
// below it; at this size the whole zlib stream still fits the one IDAT chunk
// (a chunk holds at most 2^31 - 1 bytes).
inline constexpr std::int32_t MaxPngSide = 8192;

// An RGB picture: rows from the top down, three bytes (red, green, blue) per
// pixel, no padding.
struct RgbImage {
    std::int32_t width = 0;        // pixels
    std::int32_t height = 0;       // pixels
    std::vector<std::uint8_t> rgb; // width × height × 3 bytes
};

// CRC-32 (the reflected polynomial 0xEDB88320, initial and final value all
// ones), continued from crc: crc32(b, crc32(a)) is the CRC of a then b.
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
// Adler-32 (sums modulo 65521), continued from adler (1 for a fresh start).
std::uint32_t adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler = 1);

// The PNG file image of the picture. Empty when the picture is not one the
// writer can hold: width or height outside 1 .. MaxPngSide, or rgb not
// exactly width × height × 3 bytes.
std::vector<std::uint8_t> encodePng(const RgbImage& image);

// Encodes the picture and writes it through the safe replacement. False when
// the picture cannot be encoded (nothing written, no message: the caller's
// mistake) or the file cannot be written (the platform's message).
bool writePng(std::string_view path, const RgbImage& image);
