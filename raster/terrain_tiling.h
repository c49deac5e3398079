// The tiles of a terrain: how gen_zumt_ter cuts the grid of a height source
// into square tiles whose centres lie on a regular grid, how large a tile's
// model may be, and where the tiles lie in the layout (grid_placement.h:
// grid point (gridWidth / 2, gridHeight / 2), halves rounded down, at the
// origin). The generator writes the tiles by these rules, zumt_vorschau
// draws them by them, and zumt_dgm chooses the tile lengths of the settings
// it writes by them.
//
// Units: grid steps unless a name says cm; the settings' lengths are metres.
#pragma once

#include "raster/grid_placement.h"
#include "raster/height_source.h"
#include "raster/terrain_settings.h"

#include <cstdint>
#include <optional>
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
// "Kachelabstand", truncated to whole cm (truncToInt32), except that a length
// beyond 32 bits counts as 2147483647 cm, as long as any grid can use.
struct TileLengths {
    std::int32_t halfTileCm = 0;
    std::int32_t spacingCm = 0;
};
TileLengths tileLengths(const TerrainValues& terrain);

// The tiling of the settings' tile lengths over the source's grid; none when
// they cannot make one (as planTiling; a negative tile counts too).
std::optional<Tiling> tilingOf(const TerrainValues& terrain, const HeightSource& heights);
// The same, after saying why when there is none: a pixel size of 0 or less
// (NonPositivePixelSizeMessage), "Kachelgroesse darf nicht negativ sein!\n",
// or "Kachelabstand muss mindestens eine Pixelgroesse (%.2f m) sein!\n".
std::optional<Tiling> tilingOrReport(const TerrainValues& terrain, const HeightSource& heights);

// The limits of the host's ".mod" model format (generator/mesh_model.h) for
// a part of one format block with a (W + 1) x (H + 1) vertex grid of W x H
// quads: true when such a part fits. Every u16 count must stay below 0xFFFF
// and the class numbers, which follow the counts, at most 0x7FFE; that
// limits a tile to about 80 x 80 quads. The model writer itself checks
// nothing; the generator refuses tiles beyond this.
bool quadGridFitsFormat(std::int64_t quadsX, std::int64_t quadsY);

// The widest and the tallest tile of a tiling, in quads. Tiles at the edges
// are cut off at the grid, so they can be smaller than 2 x tileHalf.
struct TileExtent {
    std::int64_t quadsX = 0;
    std::int64_t quadsY = 0;
};
TileExtent largestTile(const Tiling& tiling);
// True when every tile of the tiling fits the model format (and when there
// is none).
bool tilesFitFormat(const Tiling& tiling);

// The largest tiles that fit the model format, found by one search for both
// questions asked of it.
//
// The largest tileHalf from 0 to tiling.tileHalf whose tiles on the tiling's
// grid fit (tilesFitFormat): what the generator offers when the settings'
// tiles are too large. A grid narrower than the tiles lets them grow along
// the other axis.
std::int32_t largestFittingTileHalf(const Tiling& tiling);
// The largest even number of grid steps, at least 2, whose square tile is at
// most maxLengthCm long and fits on any grid: the tile that zumt_dgm writes
// into the settings. A step of 0 cm or less gives 2.
std::int32_t largestTileSteps(std::int32_t stepCm, std::int32_t maxLengthCm);
