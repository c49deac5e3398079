// zumt_dgm: elevation data in, a terrain for gen_zumt_ter, zumt_hoehen and
// zumt_vorschau out.
//
//   zumt_dgm [Optionen] EINGABE... [-o Gelaende.ter]
//
// Arguments without an option are sorted by their extension (any case):
// ".danl" is the settings file to update (as --anlage), ".png", ".jpg",
// ".jpeg" and ".bmp" are colour pictures (as --farbe), everything else is an
// elevation file. So files dropped onto the program together are converted
// with the defaults: the terrain beside the first elevation file.
//
// Exit code 0 only when every file was written, 1 otherwise.
#pragma once

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
    // The same corner in degrees (WGS 84), when the system is known.
    bool inDegrees = false;
    double longitude = 0.0;
    double latitude = 0.0;
};

// Sets the keys, keeping every other line. "Kachelgroesse" is the largest
// tile up to 400 m whose model the model format holds at this step,
// "Kachelabstand" half of it, both written so that the generator reads back
// exactly that many grid steps.
void applyTerrainSettings(SettingsFile& settings, const TerrainSettings& terrain);

// A file named in a settings file: the bare name when it lies in the
// settings file's folder (the programs open it from there), else the full
// path.
std::string nameForSettings(const std::string& file, const std::string& settingsFile);
