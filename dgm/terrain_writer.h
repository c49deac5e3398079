// The converter's terrain file (".ter"): its grid written by the Terragen
// writer (raster/terragen_writer.h) in the encoding chooseTerrainEncoding
// gives for the grid's heights, with every chunk ("SIZE", "XPTS", "YPTS",
// "SCAL").
#pragma once

#include "dgm/terrain_grid.h"
#include "raster/terragen_writer.h"

#include <cstdint>
#include <vector>

// The file image of a grid without holes of at most MaxTerrainSide points a
// side (dgm/terrain_grid.h) (empty otherwise). The grid's rows are freed as
// they are written: `grid` is empty afterwards.
std::vector<std::uint8_t> encodeTerrain(RowGrid&& grid, std::int32_t stepCm);
