// Where a terrain grid lies in the layout. The generated layout places its
// tiles so that grid point (gridWidth / 2, gridHeight / 2), each half in
// whole steps rounded down, lies at the layout origin, one step being
// pixelSize cm. The height program fits tracks and objects by the same rule
// and the preview draws and judges by it, so a track end on a grid point
// lies on the tile vertex of that point. On a grid of an odd number of steps
// the origin is therefore half a step off the terrain's middle: taking
// size × 0.5 there instead puts the fitted heights half a step away from the
// ground the tiles show.
//
// Along either axis: size is the grid's steps (gridWidth or gridHeight,
// >= 0), pixelSize the cm between neighbouring grid points.
#pragma once

#include <cstdint>

// Layout cm of grid line index (a column along x, a row along y). In 64
// bits: any 32-bit index times any pixel size fits; the layout, which
// stores 32 bits, keeps the low half.
constexpr std::int64_t gridLineCm(std::int64_t index, std::int32_t size, std::int32_t pixelSize) {
    return (index - size / 2) * std::int64_t{pixelSize};
}

// The grid position, in steps, of layout position cm: whole on a grid line,
// fractional between two. The inverse of gridLineCm; pixelSize must not be 0.
constexpr double gridStepsAt(double cm, std::int32_t size, std::int32_t pixelSize) {
    return cm / pixelSize + size / 2;
}
