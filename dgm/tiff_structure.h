// The TIFF structure shared by the GeoTIFF height reader and the picture
// reader: the first image file directory (IFD), its pixels decoded whole,
// and the georeference of the GeoTIFF tags.
//
// A TIFF file starts with "II" (little-endian) or "MM" (big-endian), the
// number 42 and the 32-bit offset of the first IFD; every number after that
// is in the byte order the two letters name. An IFD is a 16-bit count of
// 12-byte entries:
//
//   OFFSET SIZE TYPE MEANING
//   0      2    u16  tag
//   2      2    u16  type: 1 BYTE, 2 ASCII, 3 SHORT, 4 LONG, 5 RATIONAL,
//                    6 SBYTE, 7 UNDEFINED, 8 SSHORT, 9 SLONG, 10 SRATIONAL,
//                    11 FLOAT, 12 DOUBLE, 16 LONG8, 17 SLONG8, 18 IFD8
//   4      4    u32  count of values
//   8      4    u32  the values when they fit in 4 bytes, else their offset
//
// BigTIFF has 43 instead of 42, then the offset size 8, a 0 and a 64-bit
// offset of the first IFD; its IFD is a 64-bit count of 20-byte entries
// (count and value/offset fields of 8 bytes). Such files reach many
// gigabytes: only the IFD and one strip or tile at a time are read.
//
// The pixels lie in strips (full-width bands of RowsPerStrip rows, the last
// one shorter) or tiles (TileWidth × TileLength, those at the right and
// bottom edges padded), each compressed on its own and listed by offset and
// byte count. Every offset and count is checked against the file before use.
//
// JPEG-compressed pixels (compression 7) are one JPEG stream per block; the
// Huffman and quantisation tables they share may lie once in JPEGTables
// (347), an abbreviated stream SOI tables EOI, to be joined with each
// block's stream (SOI frame scan EOI). YCbCr pixels (photometric 6) are
// always JPEG here: the decoder turns them into RGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class ByteSource;

struct TiffImage {
    bool bigEndian = false;            // "MM"
    bool bigTiff = false;              // version 43
    std::uint32_t width = 0;           // pixels
    std::uint32_t height = 0;          // pixels
    std::uint16_t samplesPerPixel = 1; // bands
    std::uint16_t bitsPerSample = 1;   // the same for every band
    std::uint16_t sampleFormat = 1;    // 1 unsigned, 2 signed integer, 3 float
    std::uint16_t compression = 1;     // 1 none, 5 LZW, 7 JPEG, 8/32946 Deflate, 32773 PackBits
    std::uint16_t predictor = 1;       // 1 none, 2 horizontal, 3 floating point
    std::uint16_t photometric = 1;     // 0/1 grey, 2 RGB, 3 palette, 6 YCbCr
    std::uint16_t planar = 1;          // 1 bands interleaved, 2 one plane per band
    bool tiled = false;
    std::uint32_t blockWidth = 0;                   // a tile's width, or the image width for strips
    std::uint32_t blockHeight = 0;                  // a tile's height, or rows per strip
    std::vector<std::uint64_t> offsets, byteCounts; // of each strip or tile
    std::vector<std::uint16_t> colourMap;           // palette: 3 × 2^bits, red, green, blue
    std::vector<std::uint8_t> jpegTables;           // 347: SOI tables EOI, or empty

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

// Reads the first IFD of a TIFF or BigTIFF. On failure returns false after
// a message naming the path: "Formatfehler in %s!\n", or what is not read
// (a compression, a predictor) named in words with the GDAL command that
// converts the file (tiffRecipe).
[[nodiscard]] bool parseTiff(const std::string& path, const ByteSource& file, TiffImage& image);
// The same without any message: for a look at what a file holds.
[[nodiscard]] bool parseTiffQuietly(const ByteSource& file, TiffImage& image);

// Decodes every strip or tile into pixels: height rows of width pixels, top
// row first, the bands of a pixel side by side, each sample in the host's
// byte order (bitsPerSample must be 8, 16, 32 or 64; 8 for JPEG, whose
// 3-band blocks arrive as RGB). Reads one block at a time from the file.
[[nodiscard]] bool decodeTiff(const std::string& path, const ByteSource& file,
                              const TiffImage& image, std::vector<std::uint8_t>& pixels);

// What a file we do not read needs, turned into a GDAL command: every
// refusal that names a fix takes it from this one table (the README's
// recipes list the same commands).
enum class TiffFix {
    Recompress, // a compression we do not read
    OneBand,    // heights in several bands
    Float32,    // heights in a sample format we do not read
    Rgb,        // an 8-bit picture in a colour model we do not read (CMYK, Lab)
    Byte,       // a picture of samples other than 8 or 16-bit integers
    NorthUp,    // a rotated or mirrored raster
};
// The command for the file at path, e.g. "gdal_translate -co
// COMPRESS=DEFLATE in.tif in_neu.tif".
std::string tiffRecipe(TiffFix fix, const std::string& path);

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
