// Pictures (orthophotos) stored as TIFF: grey, RGB, RGBA or more bands
// (satellite pictures) of 8 or 16 bits, or 8-bit palette pixels,
// uncompressed, PackBits, LZW or Deflate, in strips or tiles, with or
// without the horizontal predictor; or JPEG-compressed 8-bit grey, RGB or
// YCbCr (any subsampling), as orthophotos are delivered. TIFF or BigTIFF. The TIFF structure is the
// one the GeoTIFF height reader walks (tiff_structure.h).
//
// Bands: a picture of three or more bands shows bands 1, 2 and 3 as red,
// green and blue, whatever its photometric tag says (GDAL tags a 6-band
// picture as grey with extra samples); one or two bands (grey, grey with
// alpha) give grey from band 1; a palette picture gives its palette's
// colours. Other bands can be chosen (BandChoice); each chosen band must
// exist.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ByteSource;

struct RgbImage {
    std::size_t width = 0, height = 0; // pixels
    std::vector<std::uint8_t> rgb;     // 3 bytes a pixel, top row first
    unsigned bands = 0;                // the file's bands (a TIFF palette picture: 1)
    bool grey = false;                 // red, green and blue come from one band
};

// The bands (1-based) that become red, green and blue.
struct BandChoice {
    int red = 1, green = 2, blue = 3;
    bool operator==(const BandChoice&) const = default;
};

// The bands (0-based) a picture of `bands` bands shows as red, green and
// blue. The default choice on fewer than three bands gives band 1 thrice
// (grey). False after "%s: Band %d gibt es nicht (Baender: %u)!\n" when a
// chosen band is not in the picture.
[[nodiscard]] bool pickBands(const std::string& path, unsigned bands, const BandChoice& choice,
                             unsigned (&picked)[3]);

// Where a picture lies, when its file says so (GeoTIFF tags).
struct GeoPlacement {
    bool known = false;          // the file carries a georeference
    double west = 0, north = 0;  // outer corner of the top-left pixel
    double stepX = 0, stepY = 0; // > 0, pixel size east and south
    bool geographic = false;     // degrees instead of metres
    int epsg = 0;                // EPSG code, 0 = unknown
};

// Reads the first image of a TIFF file, with the chosen bands as red,
// green and blue. On failure returns false after one message naming the
// file (e.g. "... JPEG-Kompression wird nicht unterstuetzt!\n") and leaves
// image and placement empty.
[[nodiscard]] bool readTiffPicture(const std::string& path, RgbImage& image,
                                   GeoPlacement& placement, const BandChoice& choice = {});
// The same over bytes at hand; name is only shown in the messages.
[[nodiscard]] bool readTiffPicture(const std::string& name, const ByteSource& source,
                                   RgbImage& image, GeoPlacement& placement,
                                   const BandChoice& choice = {});

// What an input is for: the program's arguments and the entries of an
// archive are sorted by it.
enum class InputRole { Heights, Picture, Unknown };

// Told by the content first: a TIFF is a picture when it says so (two or
// more bands, a palette, photometric RGB or YCbCr, JPEG compression) and
// heights when it has one band (a single 8-bit grey band too: given as
// --farbe it is a picture after all); a PNG, JPEG or BMP is a picture. Else
// by the name: ".png", ".jpg", ".jpeg", ".bmp" are pictures, every other
// content Heights (the elevation reader judges it). Unknown for a TIFF
// whose first IFD cannot be read. Shows no message; reads only the head and
// the IFD.
InputRole roleOf(const std::string& name, const ByteSource& source);
// The same for a file; one that cannot be opened is judged by its name.
InputRole roleOf(const std::string& path);
