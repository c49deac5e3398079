// Pictures (orthophotos) stored as TIFF: 8-bit grey, RGB, RGBA (the alpha is
// dropped) or palette pixels, uncompressed, PackBits, LZW or Deflate, in
// strips or tiles, with or without the horizontal predictor. The TIFF
// structure is the one the GeoTIFF height reader walks (tiff_structure.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    std::size_t width = 0, height = 0; // pixels
    std::vector<std::uint8_t> rgb;     // 3 bytes a pixel, top row first
};

// Where a picture lies, when its file says so (GeoTIFF tags).
struct GeoPlacement {
    bool known = false;          // the file carries a georeference
    double west = 0, north = 0;  // outer corner of the top-left pixel
    double stepX = 0, stepY = 0; // > 0, pixel size east and south
    bool geographic = false;     // degrees instead of metres
    int epsg = 0;                // EPSG code, 0 = unknown
};

// Reads the first image of a TIFF file. On failure returns false after one
// message naming the file (e.g. "... JPEG-Kompression wird nicht
// unterstuetzt!\n") and leaves image and placement empty.
[[nodiscard]] bool readTiffPicture(const std::string& path, RgbImage& image,
                                   GeoPlacement& placement);
