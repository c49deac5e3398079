// The height source that the [Terrain1] settings name, as every program
// builds it: "Hoehe" is a ".bmp" height bitmap, whose grid step
// "Pixelgroesse" is given in metres, or a ".ter" Terragen file, which brings
// its own. The path is opened as given (relative to the current folder).
#pragma once

#include "raster/height_source.h"
#include "settings/settings_file.h"

#include <memory>
#include <string>

// The source for the "Hoehe" text heightFile. None after showing
// "Falscher Dateityp fuer Hoehe: %s!\n" (no "." or an extension other than
// ".bmp" and ".ter") or "Bitte Pixelgroesse angeben!\n" (a bitmap whose
// "Pixelgroesse" times 100 truncates to 0). A file that cannot be read still
// gives a source: its reader has said what is wrong, and it is empty.
std::unique_ptr<HeightSource> openHeightSource(const SettingsFile& settings,
                                               const std::string& heightFile);
