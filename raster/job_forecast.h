// What gen_zumt_ter will make of a terrain, known before it runs: how many
// models, how many bytes they take together, and the area they cover. Each
// tile is one ".mod" model with one part of (W + 1) x (H + 1) vertices and
// W x H quads (generator/mesh_model.h), so its size follows from its quads
// alone; the tiles of one column share their width, those of one row their
// height (terrain_tiling.h).
#pragma once

#include "raster/terrain_tiling.h"

#include <cstdint>
#include <string>

struct JobForecast {
    std::int64_t tiles = 0;
    std::uint64_t modelBytes = 0;
    double areaKm2 = 0.0; // the grid's extent
};

// Above either figure the host has a lot to load: the programs say so and
// suggest a way down.
inline constexpr std::int64_t ManyTiles = 1000;
inline constexpr std::uint64_t ManyModelBytes = 1'000'000'000;

bool isLargeJob(const JobForecast& forecast);

// The bytes of one tile's model of quadsX x quadsY quads (both >= 0).
std::uint64_t tileModelBytes(std::int64_t quadsX, std::int64_t quadsY);

// The forecast of a tiling whose grid step is pixelSizeCm.
JobForecast forecastJob(const Tiling& tiling, std::int32_t pixelSizeCm);

// A size in bytes as people read it: "830 KB", "372 MB", "1.4 GB" (powers
// of 1000).
std::string bytesText(std::uint64_t bytes);

// "2401 Kacheln, 1.4 GB Modelle, 4.00 km2"
std::string forecastText(const JobForecast& forecast);
