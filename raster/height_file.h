// The height source that the [Terrain1] settings name, as every program
// builds it: "Hoehe" is a ".bmp" height bitmap, whose grid step
// "Pixelgroesse" is given in metres, or a ".ter" Terragen file, which brings
// its own. The path is opened as given (relative to the current folder).
#pragma once

#include "raster/colour_source.h"
#include "raster/height_source.h"
#include "raster/terrain_settings.h"

#include <memory>
#include <string>

// The message for a ".danl" without "Hoehe".
inline constexpr const char* MissingHeightMessage = "[Terrain1]:Hoehe muss gesetzt sein!\n";

// The source for "Hoehe". None after showing MissingHeightMessage,
// "Falscher Dateityp fuer Hoehe: %s!\n" (no "." or an extension other than
// ".bmp" and ".ter") or "Bitte Pixelgroesse angeben!\n" (a bitmap whose
// "Pixelgroesse" times 100 truncates to 0). A file that cannot be read still
// gives a source: its reader has said what is wrong, and it is empty.
std::unique_ptr<HeightSource> openHeightSource(const TerrainValues& settings);

// The colour bitmap "Farbe" for these heights, as every program takes it:
// a ".bmp" ("Falscher Dateityp fuer farbe: %s!\n"), readable (its reader's
// message) and of the height grid's size ("Groessen stimmen nicht
// überein!\n"). None after the message.
std::unique_ptr<ColourBitmap> openColourBitmap(const std::string& path,
                                               const HeightSource& heights);

// A grid step of 0 cm or less (a negative "Pixelgroesse", a Terragen x scale
// below 1 cm or beyond reason) would turn the terrain round or divide by 0.
inline constexpr const char* NonPositivePixelSizeMessage =
    "Pixelgroesse muss groesser als 0 sein: %d cm!\n";
