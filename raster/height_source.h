// Height sources: terrain heights in centimetres at the points of a grid,
// with the grid's extent, its lowest and highest height and the distance
// between its points. One kind reads a height bitmap, one a Terragen file;
// both are made on the heap and deleted through a HeightSource pointer.
//
// A source whose file was unusable is empty: gridWidth is 0. Every user
// tests gridWidth before it samples a source or reads its heights.
#pragma once

#include "raster/bitmap_file.h"
#include "raster/terragen_file.h"

#include <cstdint>
#include <string_view>

class HeightSource {
  public:
    HeightSource() = default;
    virtual ~HeightSource() = default;
    HeightSource(const HeightSource&) = delete;
    HeightSource& operator=(const HeightSource&) = delete;

    // The height in centimetres at grid point (x, y). Points beyond the grid
    // are clamped onto its border; an empty source gives 0.0.
    virtual double heightAt(std::int32_t x, std::int32_t y) const = 0;

    std::int32_t gridWidth = 0;  // grid steps along x: points 0 .. gridWidth
    std::int32_t gridHeight = 0; // grid steps along y: points 0 .. gridHeight
    double minHeight = 0.0;      // cm, lowest value of the scan (not empty only)
    double maxHeight = 0.0;      // cm, highest value of the scan
    std::int32_t pixelSize = 0;  // cm between neighbouring grid points
};

// A 24-bit height bitmap whose pixel value is the height in cm + 10000. The
// grid points are the corners of the pixels: gridWidth = width, gridHeight =
// height, and the height at a corner is the mean of the four pixels that
// meet there. The reader's message is the only one shown for a bad file.
class BitmapHeightSource : public HeightSource {
  public:
    // Reads the bitmap (path as given: a relative one is taken from the
    // current folder) and scans it. pixelSize is in centimetres.
    BitmapHeightSource(std::string_view path, std::int32_t pixelSize);
    // The same over bytes at hand; name is only shown in the messages.
    BitmapHeightSource(std::string_view name, const ByteSource& source, std::int32_t pixelSize);

    double heightAt(std::int32_t x, std::int32_t y) const override;

    BitmapFile bitmap;

  private:
    void scan(std::int32_t pixelSize);
};

// A Terragen terrain: the grid points are the samples (gridWidth = xpts - 1)
// and the pixel size is the x scale in cm (781 when the file's x scale is
// 0.0). A file that reads without a message but has no samples, or fewer
// than two points along an axis, gives "Zu wenig Hoehendaten in %s!\n";
// such a source is empty and its record released, as after a reader's
// message that left no usable samples.
class TerragenHeightSource : public HeightSource {
  public:
    explicit TerragenHeightSource(std::string_view path);
    // The same over bytes at hand; name is only shown in the messages.
    TerragenHeightSource(std::string_view name, const ByteSource& source);

    double heightAt(std::int32_t x, std::int32_t y) const override;

    TerragenFile terrain;

  private:
    // Checks and scans what the read left (clean: it showed no message).
    void scan(std::string_view path, int clean);
};
