// BitmapFile: an uncompressed 24-bit Windows bitmap (".bmp"), read whole
// into memory. Height bitmaps and the colour bitmaps of the tiles use it.
//
// File layout (little-endian). The 14-byte file header is followed by one
// of two info headers; the data offset tells which:
//
//   OFFSET SIZE TYPE    FIELD              NOTES
//    0      2   bytes   magic              "BM"
//    2      4   u32     fileSize           as stored, not trusted
//    6      2   u16     reserved1
//    8      2   u16     reserved2
//   10      4   u32     dataOffset         54: 40-byte info header follows
//                                          26: 12-byte core header follows
//   14      4   u32     headerSize         as stored, does not select the form
//   -- 40-byte info header (dataOffset 54) --
//   18      4   i32     width              pixels per row, must be > 0
//   22      4   i32     height             rows, must be > 0 (no top-down)
//   26      2   u16     planes             must be 1
//   28      2   u16     bitCount           must be 24
//   30      4   u32     compression        must be 0
//   34      4   u32     imageSize          not used
//   38      4   i32     xPixelsPerMetre    not used
//   42      4   i32     yPixelsPerMetre    not used
//   46      4   u32     coloursUsed        not used
//   50      4   u32     coloursImportant   not used
//   54      ..          pixel rows
//   -- 12-byte core header (dataOffset 26) --
//   18      2   i16     width              widened to 32 bits
//   20      2   i16     height
//   22      2   u16     planes
//   24      2   u16     bitCount
//   26      ..          pixel rows         (no compression field: stays 0)
//
// Pixel rows: height rows of stride = 3 × width rounded up to a multiple of
// 4 bytes, kept in file order (row 0 is the first stored row, the bottom one
// of an ordinary picture) with their padding. A pixel is three bytes b0 b1 b2
// (blue, green, red). As a height value they are read b0 × 65536 + b1 × 256
// + b2, which a height bitmap defines as the height in centimetres + 10000.
//
// The reader refuses, before it allocates anything, a file that holds fewer
// pixel bytes than its header claims; everything else about the format
// (palettes, other depths, compression, later header versions) is refused.
#pragma once

#include "raster/owned_array.h"

#include <cstdint>
#include <string_view>

class ByteSource;

struct BitmapFile {
    char magic[2] = {'B', 'M'};         // signature
    std::uint32_t fileSize = 0;         // bytes, as stored
    std::uint16_t reserved1 = 0;        // as stored
    std::uint16_t reserved2 = 0;        // as stored
    std::uint32_t dataOffset = 54;      // bytes from the file start to the rows
    std::uint32_t headerSize = 40;      // bytes, as stored
    std::int32_t width = 0;             // pixels per row
    std::int32_t height = 0;            // rows
    std::uint16_t planes = 1;           // colour planes
    std::uint16_t bitCount = 24;        // bits per pixel
    std::uint32_t compression = 0;      // 0 = none
    std::uint32_t imageSize = 0;        // bytes, as stored
    std::int32_t xPixelsPerMetre = 0;   // as stored
    std::int32_t yPixelsPerMetre = 0;   // as stored
    std::uint32_t coloursUsed = 0;      // as stored
    std::uint32_t coloursImportant = 0; // as stored
    OwnedArray<std::uint8_t> pixels;    // height × stride bytes, file order
    std::int32_t stride = 0;            // bytes per stored row

    // Reads the file into a record set to its initial state. Returns 1 on
    // success. On failure it shows one message with the path and returns 0,
    // and the record is released (every field 0, no pixel block):
    //   "Can't open %s!\n"             the file cannot be opened;
    //   "Falsches Bitmapformat: %s!\n" not "BM", a data offset other than 54
    //                                  or 26, planes not 1, not 24 bits,
    //                                  compressed, width or height not
    //                                  positive, or rows too wide to hold;
    //   "Fehler beim Lesen von %s!\n"  the file ends inside a header or holds
    //                                  fewer pixel bytes than height × stride,
    //                                  or the rows cannot be held in memory.
    int read(std::string_view path);
    // The same over bytes at hand (a fuzz input, a file already open); name
    // is only shown in the messages. The source outlives nothing of the
    // record: the pixels are copied.
    int read(std::string_view name, const ByteSource& source);

    // 1 when magic is "BM", planes 1, bitCount 24 and compression 0.
    int isValid() const;

    // The 24-bit value of the pixel (x, y), the first stored byte most
    // significant. Coordinates are clamped into the raster, so any x and y
    // are safe. An empty raster gives 0.
    std::int32_t pixelAt(std::int32_t x, std::int32_t y) const;

    // Frees the pixel block and sets every field, magic and planes
    // included, to 0. Harmless on an empty or released record.
    void release();
};
