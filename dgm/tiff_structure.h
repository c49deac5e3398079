// The TIFF structure shared by the GeoTIFF height reader and the picture
// reader: the first image file directory (IFD), its pixels decoded whole,
// and the georeference of the GeoTIFF tags.
//
// A TIFF file starts with "II" (little-endian) or "MM" (big-endian), the
// number 42 and the offset of the first IFD; every number after that is in
// the byte order the two letters name. BigTIFF (43 and 64-bit offsets) is
// refused. An IFD is a 16-bit count of 12-byte entries:
//
//   OFFSET SIZE TYPE MEANING
//   0      2    u16  tag
//   2      2    u16  type: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL,
//                    6 SBYTE, 7 UNDEFINED, 8 SSHORT, 9 SLONG, 10 SRATIONAL,
//                    11 FLOAT, 12 DOUBLE
//   4      4    u32  count of values
//   8      4    u32  the values when they fit in 4 bytes, else their offset
//
// The pixels lie in strips (full-width bands of RowsPerStrip rows, the last
// one shorter) or tiles (TileWidth × TileLength, those at the right and
// bottom edges padded), each compressed on its own and listed by offset and
// byte count. Every offset and count is checked against the file before use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct TiffImage {
    bool bigEndian = false;            // "MM"
    std::uint32_t width = 0;           // pixels
    std::uint32_t height = 0;          // pixels
    std::uint16_t samplesPerPixel = 1; // bands
    std::uint16_t bitsPerSample = 1;   // the same for every band
    std::uint16_t sampleFormat = 1;    // 1 unsigned, 2 signed integer, 3 float
    std::uint16_t compression = 1;     // 1 none, 5 LZW, 8/32946 Deflate, 32773 PackBits
    std::uint16_t predictor = 1;       // 1 none, 2 horizontal, 3 floating point
    std::uint16_t photometric = 1;     // 0/1 grey, 2 RGB, 3 palette
    std::uint16_t planar = 1;          // 1 bands interleaved, 2 one plane per band
    bool tiled = false;
    std::uint32_t blockWidth = 0;                   // a tile's width, or the image width for strips
    std::uint32_t blockHeight = 0;                  // a tile's height, or rows per strip
    std::vector<std::uint64_t> offsets, byteCounts; // of each strip or tile
    std::vector<std::uint16_t> colourMap;           // palette: 3 × 2^bits, red, green, blue

    // GeoTIFF tags, empty when absent.
    std::vector<double> pixelScale;     // 33550: x, y, z size of a pixel
    std::vector<double> tiepoints;      // 33922: i, j, k, x, y, z (one or more)
    std::vector<double> transformation; // 34264: 4 × 4 raster-to-model matrix
    std::vector<std::uint16_t> geoKeys; // 34735: the GeoKey directory
    bool hasNoData = false;             // 42113: GDAL's no-data value (text)
    double noData = 0;                  // NaN when the text is "nan"
};

// True when the bytes start like a TIFF or BigTIFF file.
bool looksLikeTiff(std::string_view head);

// Reads the first IFD. On failure returns false after a message naming the
// path: "Formatfehler in %s!\n", or what is not supported (BigTIFF, a
// compression, a predictor).
[[nodiscard]] bool parseTiff(const std::string& path, std::span<const std::uint8_t> file,
                             TiffImage& image);

// Decodes every strip or tile into pixels: height rows of width pixels, top
// row first, the bands of a pixel side by side, each sample in the host's
// byte order (bitsPerSample must be 8, 16, 32 or 64).
[[nodiscard]] bool decodeTiff(const std::string& path, std::span<const std::uint8_t> file,
                              const TiffImage& image, std::vector<std::uint8_t>& pixels);

// Where the raster lies, from the GeoTIFF tags.
struct TiffGeoreference {
    bool known = false; // pixel scale + tie point, or a transformation
    double cornerX = 0; // outer corner of the top-left pixel
    double cornerY = 0;
    double stepX = 0, stepY = 0; // > 0, pixel size east and south
    bool geographic = false;     // degrees of longitude and latitude
    int epsg = 0;                // 0 = unknown or user-defined
};

// False (with a message) for a rotated or mirrored raster and for a pixel
// size of 0; known stays false when the tags are missing.
[[nodiscard]] bool tiffGeoreference(const std::string& path, const TiffImage& image,
                                    TiffGeoreference& geo);
