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

// A grid step of 0 cm or less (a negative "Pixelgroesse", a Terragen x scale
// below 1 cm or beyond reason) would turn the terrain round or divide by 0.
inline constexpr const char* NonPositivePixelSizeMessage =
    "Pixelgroesse muss groesser als 0 sein: %d cm!\n";

// The layout and the models store heights as 32-bit centimetres. True when
// trunc(faktor x h + offsetCm) holds in them for the source's lowest and
// highest height h (every height of the source lies between the two, so this
// one check covers the whole terrain). Otherwise false after the message:
//   "Faktor und Verschiebung muessen Zahlen sein!\n"  faktor or offset is
//                                                      NaN or infinite;
//   "Hoehen ausserhalb des Bereichs der Anlage!\n"      anything else, the
//                                                      source's own heights
//                                                      not finite included.
bool mappedHeightsFit(double faktor, double offsetCm, const HeightSource& source);
