// zumt_dgm: elevation data in, a terrain for gen_zumt_ter, zumt_hoehen and
// zumt_vorschau out.
//
//   zumt_dgm [Optionen] EINGABE... [-o Gelaende.ter]
//
// Arguments without an option are sorted: ".danl" (any case) is the
// settings file to update (as --anlage); a file whose content is a picture
// (PNG, JPEG, BMP, a TIFF of colours: roleOf in tiff_picture.h) is a colour
// picture (as --farbe); everything else is an elevation file. A ".zip" or
// ".gz" is an input whose entries are sorted by the same rules. So files
// dropped onto the program together are converted with the defaults: the
// terrain named after the ".danl" beside it ("Meine.danl": "Meine.ter",
// "Meine_farbe.bmp"), without one beside the first elevation file. Without
// pictures the colour bitmap is the shaded relief of the heights.
//
// Exit code 0 only when every file was written, 1 otherwise.
#pragma once

#include "raster/job_forecast.h"
#include "raster/terrain_tiling.h"
#include "settings/settings_file.h"

#include <cstdint>
#include <optional>
#include <string>

int dgmMain(int argc, char** argv);

// What --anlage writes into [Terrain1] and [Georeferenz] of a settings file.
struct TerrainSettings {
    std::string heightFile; // the ".ter" as the settings name it
    std::string colourFile; // the colour bitmap, or empty
    std::string modelName;  // "Name" when none is set
    std::int32_t stepCm = 0;
    // The south-west grid point in the inputs' coordinates.
    double east = 0.0;
    double north = 0.0;
    bool degrees = false;
    int epsg = 0; // 0 = unknown
    // The terrain's grid in steps (points - 1): whether tile lengths the
    // user set still fit is asked of the tiles on it. 0 = unknown: a whole
    // square tile must fit.
    std::int32_t gridWidth = 0;
    std::int32_t gridHeight = 0;
    // The same corner in degrees (WGS 84), when the system is known.
    bool inDegrees = false;
    double longitude = 0.0;
    double latitude = 0.0;
};

// The tile lengths of the settings: kept as the user set them, or ours (the
// largest tile up to 400 m whose model the model format holds at this step,
// spaced half of it), written so that the generator reads back exactly that
// many grid steps.
enum class TileSource {
    Ours,     // none set, or those an earlier run wrote for its step
    Kept,     // the user's, and they still fit at this step
    Replaced, // the user's, which do not fit (or make no tiling): ours instead
};
struct TileChoice {
    TileLengths lengths; // what the generator reads back
    TileSource source = TileSource::Ours;
    TileLengths before; // the user's, for Kept and Replaced
};
TileLengths ourTileLengths(std::int32_t stepCm);
TileChoice chooseTileLengths(const SettingsFile& settings, const TerrainSettings& terrain);

// Sets the keys, keeping every other line; the tile lengths as
// chooseTileLengths says, which it returns. Kept lengths keep their text.
TileChoice applyTerrainSettings(SettingsFile& settings, const TerrainSettings& terrain);

// A file named in a settings file: the bare name when it lies in the
// settings file's folder (the programs open it from there), else the full
// path.
std::string nameForSettings(const std::string& file, const std::string& settingsFile);

// What gen_zumt_ter makes of a terrain of gridWidth x gridHeight steps of
// stepCm with these tile lengths; none when they make no tiling.
std::optional<JobForecast> terrainForecast(std::int32_t gridWidth, std::int32_t gridHeight,
                                           std::int32_t stepCm, const TileLengths& tiles);

// A way down for a large job, computed for the terrain's grid. Tiles of ours
// shorter than 400 m grow with a coarser step: rasterCm is the finest of the
// steps 1, 1.5, 2, 2.5, 3, 4, 5, 6, 8 times a power of ten under which the
// forecast stays below both limits, 0 when none does before the tiles reach
// 400 m. Otherwise the count follows the area alone: the largest cut of the
// terrain's proportions around its centre that stays below them, in grid
// steps (cutWidth, cutHeight; 0 when there is none). forecast is what the
// way gives.
struct JobReduction {
    std::int32_t rasterCm = 0;
    std::int32_t cutWidth = 0;
    std::int32_t cutHeight = 0;
    JobForecast forecast;
};
JobReduction reduceJob(std::int32_t gridWidth, std::int32_t gridHeight, std::int32_t stepCm,
                       const TileChoice& tiles);
