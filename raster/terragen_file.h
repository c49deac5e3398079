// TerragenFile: a terrain height field in the Terragen terrain format
// (".ter"), read whole into memory.
//
// File layout (little-endian; keywords and chunk tags compared without
// regard to case):
//
//   OFFSET SIZE TYPE    MEANING
//    0      8   text    "TERRAGEN"
//    8      8   text    "TERRAIN " (trailing blank)
//   16      ..          chunks, each a 4-byte tag and its data:
//
//   TAG     DATA                                   KEPT IN
//   "XPTS"  u16 points along x, 2 bytes padding    xpts
//   "YPTS"  u16 points along y, 2 bytes padding    ypts
//   "SIZE"  u16 points of the shorter side - 1,    size (gives xpts and ypts
//           2 bytes padding                        when those chunks are absent)
//   "SCAL"  3 × f32 metres per unit along x, y, z  scaleX, scaleY, scaleZ
//   "CRAD"  f32 planet radius                      -
//   "CRVM"  u32 curvature mode                     -
//   "ALTW"  i16 HeightScale, i16 BaseHeight,       heightScale, baseHeight,
//           xpts × ypts i16 samples row by row,    samples
//           2 bytes padding when the count is odd
//   "EOF "  end of the chunks (may be missing)
//
// Units: a sample s stands for BaseHeight + s × HeightScale / 65536 terrain
// units; one terrain unit is scaleZ metres. Heights handed out are in
// centimetres. Without a "SCAL" chunk the format's own default applies:
// 30 metres for all three scales (writers leave the chunk out for a 30 m
// grid).
//
// "XPTS", "YPTS" and "SIZE" shape the samples only when they come before
// "ALTW"; once samples are held they keep the shape they were read with.
// The reader refuses, before it allocates anything, samples that the file
// does not hold.
#pragma once

#include "raster/owned_array.h"

#include <cstdint>
#include <string_view>

class ByteSource;

struct TerragenFile {
    std::uint16_t xpts = 0;           // sample points along x
    std::uint16_t ypts = 0;           // sample points along y
    std::uint16_t size = 0;           // "SIZE": points per side - 1
    float scaleX = 0.0f;              // metres between samples along x
    float scaleY = 0.0f;              // metres between samples along y
    float scaleZ = 0.0f;              // metres per terrain unit (vertical)
    std::int16_t heightScale = 0;     // terrain units × 65536 per sample step
    std::int16_t baseHeight = 0;      // terrain units
    OwnedArray<std::int16_t> samples; // xpts × ypts, index y × xpts + x

    // Reads the file into a cleared record. Messages, with what the record
    // holds afterwards:
    //   "Can't open %s!\n"           cannot be opened: all fields 0;
    //   "Keyword TERRAGEN missing!\n",
    //   "Keyword TERRAIN missing!\n" not a terrain file: all fields 0;
    //   "Formatfehler in %s!\n"      before the samples are complete: an
    //                                unknown chunk tag, or a chunk whose
    //                                data the file does not hold; what was
    //                                read before stays, without samples.
    // A file that ends between chunks, with or without "EOF ", is complete;
    // so is one whose samples were read whole: whatever unknown or short
    // chunk follows them is ignored without a word (the format gives no
    // chunk sizes, so nothing beyond it could be read).
    // Returns 1 when no message was shown, else 0; callers judge the
    // outcome by xpts, ypts and samples.
    int read(std::string_view path);
    // The same over bytes at hand; name is only shown in the messages.
    int read(std::string_view name, const ByteSource& source);

    // The height in centimetres at the sample (x, y), clamped into the grid:
    // scaleZ × (s × heightScale / 65536 + baseHeight) × 100. Without
    // samples the result is 0.0.
    double heightAt(std::int32_t x, std::int32_t y) const;

    // The height in centimetres that the sample value s stands for.
    double sampleHeight(std::int16_t s) const;

    // Frees the samples and sets every field to 0. Harmless when empty.
    void release();
};
