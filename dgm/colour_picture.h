// The colour bitmap of a converted terrain, painted from pictures
// (orthophotos) that are placed by their georeference or stretched over the
// terrain.
//
// The generator colours grid point (c, r) of a ".ter" of X × Y points with
// pixel (c, r) of an (X − 1) × (Y − 1) bitmap, rows counted as stored, and a
// ".ter" as well as a bottom-up bitmap store the southern row first. So
// pixel (c, r) is the picture's mean colour over the grid step around the
// terrain point c east, r north of the south-west corner.
//
// World files (".pgw", ".jgw", ".tfw", ".bpw", ".wld", or the picture's
// extension with its middle letter dropped and a "w" added) hold six lines:
// the pixel size along x, two rotation terms, the pixel size along y
// (negative: rows run south), and x and y of the CENTRE of the top-left
// pixel.
#pragma once

#include "dgm/terrain_grid.h"
#include "dgm/tiff_picture.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A picture with its placement. Without a georeference it is stretched over
// the terrain.
struct PlacedPicture {
    RgbImage image;         // image.bands, image.grey: what the file gave
    GeoPlacement placement; // known = placed by its georeference
};

// Reads a PNG, JPEG or BMP picture through the image decoder, a TIFF
// through the TIFF reader, and its placement: the GeoTIFF tags, else a
// world file beside it. The chosen bands become red, green and blue
// (tiff_picture.h); the bands of a PNG, JPEG or BMP are the channels the
// decoder gives: 1 grey, 2 grey and alpha, 3 colours, 4 colours and alpha,
// a palette counting as its colours. False after one message naming the
// file when it cannot be read, a chosen band is not in it, or its world
// file holds a rotation.
[[nodiscard]] bool readPlacedPicture(const std::string& path, PlacedPicture& out,
                                     const BandChoice& choice = {});

// Reads the file named path beside a picture (its world file) into bytes;
// false when there is none.
using NeighbourReader =
    std::function<bool(const std::string& path, std::vector<std::uint8_t>& bytes)>;
// The same over bytes at hand (an entry of an archive): name is shown in the
// messages, and the world file is looked for through beside.
[[nodiscard]] bool readPlacedPicture(const std::string& name, const ByteSource& source,
                                     PlacedPicture& out, const BandChoice& choice,
                                     const NeighbourReader& beside);

// Reads the world file of a picture, if there is one: None when there is
// none (nothing shown), Refused after the message for one that is malformed
// or rotated.
enum class WorldFile { None, Read, Refused };
[[nodiscard]] WorldFile readWorldFile(const std::string& picturePath, GeoPlacement& placement);
[[nodiscard]] WorldFile readWorldFile(const std::string& picturePath, GeoPlacement& placement,
                                      const NeighbourReader& beside);

// The terrain the colours are painted for: its metric grid and how it lies
// in the inputs' coordinates.
struct TerrainPlace {
    std::size_t columns = 0; // grid points
    std::size_t rows = 0;
    double west = 0.0;  // metric x of the western column
    double north = 0.0; // metric y of the northern row
    double step = 0.0;  // metres
    MetricFrame frame;
};

// A 24-bit picture being painted: pixel (c, r) with r counted from the south.
struct ColourCanvas {
    std::size_t width = 0;
    std::size_t height = 0;
    std::vector<std::uint8_t> rgb;     // width × height × 3, southern row first
    std::vector<std::uint8_t> covered; // width × height, 1 where a picture painted
};

// The canvas the generator wants for the terrain: (X − 1) × (Y − 1), black,
// nothing covered.
ColourCanvas canvasFor(const TerrainPlace& place);

// Paints the picture's mean colour over each pixel's grid step into every
// pixel whose grid point it covers, and marks those pixels covered. Returns
// how many pixels it painted.
std::size_t paintPicture(ColourCanvas& canvas, const TerrainPlace& place,
                         const PlacedPicture& picture);

// The share of the canvas's pixels that pictures painted, in percent.
double coveredPercent(const ColourCanvas& canvas);

// Gives every pixel no picture covered the shaded relief of the terrain
// (raster/hillshade.h): the height's colour on the ramp from the terrain's
// lowest to its highest point, shaded by the slope. The terrain is the
// canvas's metric grid, (width + 1) × (height + 1) points, north row first;
// pixel (c, r) takes the point c east, r north of the south-west corner.
// Returns how many pixels it shaded (0 when the terrain does not fit the
// canvas); they stay uncovered.
std::size_t shadeUncovered(ColourCanvas& canvas, const RowGrid& terrain);

// A whole canvas of shaded relief for a terrain of at least 2 × 2 points,
// for a terrain without pictures; empty otherwise.
ColourCanvas shadedRelief(const RowGrid& terrain);

// The canvas as an uncompressed 24-bit bottom-up BMP with the 40-byte info
// header (raster/bitmap_writer.h), the form raster/bitmap_file.h reads; empty
// when it has no pixels or does not fit the header's 32-bit sizes.
std::vector<std::uint8_t> encodeBitmap(const ColourCanvas& canvas);

// The shaded relief a run without pictures writes carries this value in the
// bitmap's first reserved field (bytes 6 and 7, "SR"), which readers
// ignore: a later run may replace such a bitmap, but never one painted from
// a photo.
inline constexpr std::uint16_t ShadedBitmapMark = 0x5253;

// Sets the mark in an encoded bitmap.
void markShaded(std::vector<std::uint8_t>& bitmap);

// The head of a 24-bit uncompressed bitmap, read quietly: false when the
// file cannot be read or is no such bitmap.
struct BitmapHead {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool shaded = false; // carries ShadedBitmapMark
};
bool readBitmapHead(const std::string& path, BitmapHead& head);
