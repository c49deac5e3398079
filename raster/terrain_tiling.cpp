#include "raster/terrain_tiling.h"

#include "common/message.h"
#include "common/numeric.h"
#include "raster/height_file.h"

#include <algorithm>
#include <climits>

namespace {

// The model format's class references are 16 bits with the top bit set, so
// the largest class number is 0x7FFE; its u16 counts stay at most 32767.
// Every class and every object of a model takes the next running number
// (generator/mesh_model.h), so a part's vertices and index entries push up
// the numbers of the index and format classes that follow them.
constexpr std::int64_t MaxClassNumber = 0x7FFE;
constexpr std::int64_t MaxCount = 32767;

// The largest half h from 0 to maxHalf for which fits(h) holds, where fits
// holds for 0 and, once it fails, for no larger half (tiles only grow with
// their half). By bisection: a 2 cm grid may allow 10^9 halves.
template <class Fits>
std::int32_t largestFittingHalf(std::int32_t maxHalf, Fits fits) {
    std::int64_t good = 0, bad = std::int64_t{maxHalf} + 1;
    while (bad - good > 1) {
        const std::int64_t half = good + (bad - good) / 2;
        (fits(static_cast<std::int32_t>(half)) ? good : bad) = half;
    }
    return static_cast<std::int32_t>(good);
}

} // namespace

Tile Tiling::tile(std::int32_t i, std::int32_t j) const {
    Tile t;
    t.i = i;
    t.j = j;
    const std::int32_t cx = startX + i * tileStep;
    const std::int32_t cy = startY + j * tileStep;
    t.rect.centreX = cx;
    t.rect.centreY = cy;
    t.rect.minX = std::max(cx - tileHalf, 0);
    t.rect.maxX = std::min(cx + tileHalf, gridWidth);
    t.rect.minY = std::max(cy - tileHalf, 0);
    t.rect.maxY = std::min(cy + tileHalf, gridHeight);
    return t;
}

std::vector<Tile> Tiling::tiles() const {
    std::vector<Tile> all;
    all.reserve(static_cast<std::size_t>(tileCount()));
    for (std::int32_t i = 0; i < countX; ++i)
        for (std::int32_t j = 0; j < countY; ++j)
            all.push_back(tile(i, j));
    return all;
}

std::optional<Tiling> planTiling(std::int32_t gridWidth, std::int32_t gridHeight,
                                 std::int32_t pixelSize, std::int32_t halfTileCm,
                                 std::int32_t spacingCm) {
    if (pixelSize <= 0 || gridWidth < 0 || gridHeight < 0) return std::nullopt;
    Tiling t;
    t.tileStep = spacingCm / pixelSize;
    t.tileHalf = halfTileCm / pixelSize;
    if (t.tileStep <= 0 || t.tileHalf < 0) return std::nullopt;
    t.gridWidth = gridWidth;
    t.gridHeight = gridHeight;
    t.countX = gridWidth / t.tileStep;
    t.countY = gridHeight / t.tileStep;
    // The centres are spread evenly: (countX - 1) steps between the first and
    // the last, the rest of the grid split on both sides.
    t.startX = (gridWidth - (t.countX - 1) * t.tileStep) / 2;
    t.startY = (gridHeight - (t.countY - 1) * t.tileStep) / 2;
    return t;
}

TileLengths tileLengths(const TerrainValues& terrain) {
    // A length beyond 32 bits is as long as any grid can use, not negative
    // (as the plain conversion would make it); NaN stays refused.
    auto centimetres = [](double metres) {
        const double cm = metres * 100.0;
        return cm >= 2147483647.0 ? INT32_MAX : truncToInt32(cm);
    };
    TileLengths l;
    l.halfTileCm = centimetres(terrain.tileSizeMetres) / 2;
    l.spacingCm = centimetres(terrain.tileSpacingMetres);
    return l;
}

std::optional<Tiling> tilingOf(const TerrainValues& terrain, const HeightSource& heights) {
    const TileLengths lengths = tileLengths(terrain);
    if (lengths.halfTileCm < 0) return std::nullopt;
    return planTiling(heights.gridWidth, heights.gridHeight, heights.pixelSize, lengths.halfTileCm,
                      lengths.spacingCm);
}

std::optional<Tiling> tilingOrReport(const TerrainValues& terrain, const HeightSource& heights) {
    if (heights.pixelSize <= 0) {
        report(NonPositivePixelSizeMessage, heights.pixelSize);
        return std::nullopt;
    }
    if (tileLengths(terrain).halfTileCm < 0) {
        report("Kachelgroesse darf nicht negativ sein!\n");
        return std::nullopt;
    }
    std::optional<Tiling> tiling = tilingOf(terrain, heights);
    if (!tiling)
        report("Kachelabstand muss mindestens eine Pixelgroesse (%.2f m) sein!\n",
               heights.pixelSize / 100.0);
    return tiling;
}

bool quadGridFitsFormat(std::int64_t quadsX, std::int64_t quadsY) {
    // Either side beyond the counts fails anyway; testing it first keeps the
    // products below from overflowing for any input.
    if (quadsX < 0 || quadsY < 0 || quadsX > MaxCount || quadsY > MaxCount) return false;
    const std::int64_t vertices = (quadsX + 1) * (quadsY + 1);
    const std::int64_t faces = quadsX * quadsY;
    const std::int64_t entries = 6 + 4 * faces;
    if (vertices > MaxCount || faces > MaxCount || entries > MaxCount) return false;
    const std::int64_t indexClass = 4 + vertices + 1;
    const std::int64_t formatClass = indexClass + 1 + entries + 1;
    return formatClass <= MaxClassNumber;
}

TileExtent largestTile(const Tiling& t) {
    TileExtent e;
    for (std::int32_t i = 0; i < t.countX; ++i) {
        TileRect r = t.tile(i, 0).rect;
        e.quadsX = std::max<std::int64_t>(e.quadsX, std::int64_t{r.maxX} - r.minX);
    }
    for (std::int32_t j = 0; j < t.countY; ++j) {
        TileRect r = t.tile(0, j).rect;
        e.quadsY = std::max<std::int64_t>(e.quadsY, std::int64_t{r.maxY} - r.minY);
    }
    return e;
}

bool tilesFitFormat(const Tiling& t) {
    if (t.tileCount() == 0) return true;
    TileExtent e = largestTile(t);
    return quadGridFitsFormat(e.quadsX, e.quadsY);
}

std::int32_t largestFittingTileHalf(const Tiling& tiling) {
    return largestFittingHalf(tiling.tileHalf, [t = tiling](std::int32_t half) mutable {
        t.tileHalf = half;
        return tilesFitFormat(t);
    });
}

std::int32_t largestTileSteps(std::int32_t stepCm, std::int32_t maxLengthCm) {
    const std::int32_t maxHalf = stepCm > 0 ? maxLengthCm / 2 / stepCm : 0;
    const std::int32_t half = largestFittingHalf(maxHalf, [](std::int32_t h) {
        return quadGridFitsFormat(2 * std::int64_t{h}, 2 * std::int64_t{h});
    });
    // A square of 2 x 2 quads always fits: the least tile there is.
    return 2 * std::max(half, 1);
}
