// The terrain tile generator: cuts the terrain grid of a height source into
// square tiles whose centres lie on a regular grid, writes one ".mod" model
// per tile into the host's model folder ("<host>Modelle\<Name>\bmp<i>_<j>.mod")
// and a layout that places every tile at its spot.
//
// Settings, all from [Terrain1] (lengths in metres):
//   "Hoehe"         height file, ".bmp" or ".ter"          required
//   "Farbe"         colour bitmap, ".bmp", one pixel per grid step, required
//   "Name"          the models' folder and path prefix      required
//   "Pixelgroesse"  grid step of a height bitmap           0.0
//   "Kachelgroesse" edge of a tile                         400.0
//   "Kachelabstand" distance of neighbouring tile centres  200.0
//   "Faktor"        height factor                          1.0
//   "RGBFaktor"     colour factor                          1.0
//   "Verschiebung"  height shift                           puts the lowest point at 2 cm
#pragma once

#include "generator/mesh_model.h"
#include "raster/colour_source.h"
#include "raster/height_source.h"
#include "raster/terrain_settings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The grid rectangle of one tile: grid points minX .. maxX and minY .. maxY,
// both ends included, and its centre point.
struct TileRect {
    std::int32_t minX = 0;
    std::int32_t centreX = 0;
    std::int32_t maxX = 0;
    std::int32_t minY = 0;
    std::int32_t centreY = 0;
    std::int32_t maxY = 0;
};

// One tile of a run: its indices (column i, row j) and its rectangle.
struct Tile {
    std::int32_t i = 0;
    std::int32_t j = 0;
    TileRect rect;
};

// The tiling of a grid, in grid steps. Tiles are centred in the grid: the
// first and last centres lie equally far from the edges (up to one step).
struct Tiling {
    std::int32_t tileStep = 0; // steps between neighbouring centres (> 0)
    std::int32_t tileHalf = 0; // steps from a centre to a tile edge (>= 0)
    std::int32_t countX = 0;
    std::int32_t countY = 0;
    std::int32_t startX = 0;
    std::int32_t startY = 0;
    std::int32_t gridWidth = 0;
    std::int32_t gridHeight = 0;

    std::int64_t tileCount() const { return std::int64_t{countX} * countY; }
    // The tile of indices (i, j); tiles at the edges are cut off at the grid.
    Tile tile(std::int32_t i, std::int32_t j) const;
    // All tiles in the order they are written: column by column, all tiles
    // of i = 0 first.
    std::vector<Tile> tiles() const;
};

// The tiling for a grid, the pixel size and the two tile lengths in cm
// (halfTileCm = half the tile edge, spacingCm = distance of the centres).
// None when the values cannot make a tiling (pixel size or spacing of less
// than a grid step, a negative tile): the caller reports it.
std::optional<Tiling> planTiling(std::int32_t gridWidth, std::int32_t gridHeight,
                                 std::int32_t pixelSize, std::int32_t halfTileCm,
                                 std::int32_t spacingCm);

// The tile lengths of the settings in cm: half the "Kachelgroesse" and the
// "Kachelabstand".
struct TileLengths {
    std::int32_t halfTileCm = 0;
    std::int32_t spacingCm = 0;
};
TileLengths tileLengths(const TerrainValues& terrain);

// The tiling of the settings' tile lengths over the source's grid; none when
// they cannot make one (as planTiling; a negative tile counts too).
std::optional<Tiling> tilingOf(const TerrainValues& terrain, const HeightSource& heights);
// The same, after saying why when there is none: a pixel size of 0 or less,
// a negative "Kachelgroesse", or a "Kachelabstand" below one grid step.
std::optional<Tiling> tilingOrReport(const TerrainValues& terrain, const HeightSource& heights);

// Called after each tile's model was written: done of total.
using TileProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// What a run that reached its end could not write, each with its message
// shown: model files, and the layout.
struct GenerationOutcome {
    std::int64_t modelsFailed = 0; // the tiles left unwritten after a failed model
    bool layoutFailed = false;
    // Where the replaced layout of the user's was kept, if it was.
    std::optional<std::string> backupPath;
    bool complete() const { return modelsFailed == 0 && !layoutFailed; }
};

// The whole run over the [Terrain1] values, which the program's entry reads
// once. Returns 1 when it reached its end (the layout may have
// failed, with its message: outcome tells), 0 when a check stopped it before
// any file was written, or when a model could not be written: then the run
// stops there with one message that names it and the tiles left, and the
// layout is not written. With a layout path the layout of all tiles is
// written there; a layout there that holds anything but this "Name"'s tiles
// (or does not load) is first copied to "<path>.bak" (outcome.backupPath).
int generateTiles(const TerrainValues& terrain, const std::optional<std::string>& layoutPath,
                  const TileProgress& progress = {}, GenerationOutcome* outcome = nullptr);

// Refills model with one part holding the tile's grid of quads, vertex
// heights and colours, by the run's tileMapping (its track extra unused).
void fillTileMesh(const TerrainMapping& mapping, MeshModel& model, const ColourSource& colours,
                  const HeightSource& heights, const TileRect& rect);

// red, green and blue times the factor, truncated, at most 255; the low 8
// bits are kept (a negative factor is not limited).
void scaleColour(PixelColour& colour, float factor);
