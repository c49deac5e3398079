// Colour sources: the colour of a pixel (x, y). The only kind reads a 24-bit
// colour bitmap; the tile generator keeps it as a local object.
#pragma once

#include "raster/bitmap_file.h"

#include <cstdint>
#include <string_view>

// A colour as a mesh vertex carries it. hasColour is 1 for every colour a
// source hands out; a vertex that never got one holds a record of zeros.
struct PixelColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::int32_t hasColour = 0;
};

class ColourSource {
  public:
    ColourSource() = default;
    virtual ~ColourSource() = default;
    ColourSource(const ColourSource&) = delete;
    ColourSource& operator=(const ColourSource&) = delete;

    // The colour of the pixel (x, y), 0 <= x < width, 0 <= y < height.
    virtual PixelColour colourAt(std::int32_t x, std::int32_t y) const = 0;

    std::int32_t width = 0;     // pixels; 0 when the file was unusable
    std::int32_t height = 0;    // pixels
    std::int32_t pixelSize = 0; // cm, as the creator gave it
};

class ColourBitmap : public ColourSource {
  public:
    // Reads the bitmap; on failure the reader has shown its message and
    // width, height and pixelSize stay 0.
    ColourBitmap(std::string_view path, std::int32_t pixelSize);
    // The same over bytes at hand; name is only shown in the messages.
    ColourBitmap(std::string_view name, const ByteSource& source, std::int32_t pixelSize);

    // Rows count in file order (y = 0 is the first stored row). A pixel
    // outside the picture has no colour: the result is all zeros.
    PixelColour colourAt(std::int32_t x, std::int32_t y) const override;

    BitmapFile bitmap;

  private:
    void take(std::int32_t pixelSize);
};
