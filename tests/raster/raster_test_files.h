// Raster files built byte by byte from the formats' field tables, for the
// cases the independent writers cannot produce (bad headers, lies about the
// size, cut files). The tables of values the independent tools read from the
// files under tests/data come through readTable (test_support.h).
#pragma once

#include "common/bytes.h"
#include "tests/support/test_support.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A bitmap with an info header (data offset 54) or a core header (26). The
// pixel (x, y), y counted in file order, is stored as the three bytes of
// pixel(x, y) = b0 × 65536 + b1 × 256 + b2; row padding is filled with 0xEE
// so that a test can tell it is kept.
struct BitmapPlan {
    BitmapPlan() = default;
    BitmapPlan(std::int32_t w, std::int32_t h) : width(w), height(h) {}
    std::int32_t width = 1;
    std::int32_t height = 1;
    bool coreHeader = false;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t dataOffset = 0; // 0: the one that fits the header form
    char magic[2] = {'B', 'M'};
    bool withRows = true; // false: the headers only
    std::function<std::int32_t(std::int32_t, std::int32_t)> pixel;
};
std::vector<std::uint8_t> makeBitmap(const BitmapPlan& plan);

// Writes with the bitmap writer (raster/bitmap_writer.h) "hoehe.bmp" (pixel
// (x, y) holds the height heightCm(x, y)) and "farbe.bmp" (pixel (x, y)
// stores colour(x, y) as above: blue × 65536 + green × 256 + red; a plain
// green without one) into the folder, both width × height pixels, y counted
// in file order.
using PixelValue = std::function<std::int32_t(std::int32_t, std::int32_t)>;
void writeTerrainFiles(const TempFolder& folder, std::int32_t width, std::int32_t height,
                       const PixelValue& heightCm, const PixelValue& colour = {});

// Terragen files, chunk by chunk.
class TerragenBuilder {
  public:
    explicit TerragenBuilder(const char* first = "TERRAGEN", const char* second = "TERRAIN ") {
        raw(std::string(first, 8) + std::string(second, 8));
    }
    TerragenBuilder& count(const char* tag, std::uint16_t value) { // XPTS, YPTS, SIZE
        w_.bytes(tag, 4);
        w_.u32(value);
        return *this;
    }
    TerragenBuilder& scale(float x, float y, float z);
    TerragenBuilder& heights(std::int16_t heightScale, std::int16_t baseHeight,
                             const std::vector<std::int16_t>& samples,
                             const char* tag = "ALTW"); // padded when odd
    TerragenBuilder& raw(const std::string& bytes) {    // a tag or anything
        w_.bytes(bytes.data(), bytes.size());
        return *this;
    }
    TerragenBuilder& end(const char* tag = "EOF ") { return raw(std::string(tag, 4)); }
    const std::vector<std::uint8_t>& bytes() const { return w_.buffer(); }

  private:
    ByteWriter w_;
};

// A Terragen file of (width + 1) x (height + 1) points `step` metres apart,
// point (x, y) (y from the south) a quarter of sample(x, y) metres high.
std::vector<std::uint8_t> terragenGrid(std::int32_t width, std::int32_t height, float step,
                                       const PixelValue& sample);
