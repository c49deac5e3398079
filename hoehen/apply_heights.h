// The height application of zumt_hoehen: loads the layout, gives the track
// end points, the placed objects and the cameras the heights of the terrain
// under them, and writes the layout back in place.
//
// Units: layout coordinates are whole centimetres; terrain heights are
// centimetres as doubles; "Faktor" is a plain factor; "Verschiebung" and the
// extra heights of "hoehen.ini" are metres.
//
// Keys read from the ".danl" settings, section [Terrain1]:
//   "Faktor"        vertical factor, default 1.0
//   "Verschiebung"  vertical offset in metres, default 0.02 - Faktor ×
//                   minHeight × 0.01, which puts the lowest terrain point
//                   2 cm above the base plate
//
// "hoehen.ini" in the layout's folder: HeightExtras (raster/layout_pair.h).
#pragma once

#include "raster/height_source.h"
#include "raster/terrain_settings.h"

#include <cstdint>
#include <string>
#include <string_view>

// Our own message for a height source whose grid points lie 0 cm apart (a
// Terragen scale below 1 cm): every position would be divided by 0.
inline constexpr const char* ZeroPixelSizeMessage = "Pixelgroesse der Hoehendaten ist 0!\n";

// The whole job over the [Terrain1] values of the ".danl", the layout's file name
// (relative to the current folder) and the height source. Returns true only
// when the layout file was written. Otherwise the file keeps its bytes and
// the user has seen why:
//   - an empty source (its reader has said what is wrong),
//     ZeroPixelSizeMessage, NonPositivePixelSizeMessage, or a mapping that
//     mappedHeightsFit refuses; all before the layout is read;
//   - a height beyond 32 bits once the extra heights are added
//     ("Hoehen ausserhalb des Bereichs der Anlage!\n");
//   - a layout that does not load: the loader's message, or "Formatfehler!\n"
//     when the loader stopped without a message of its own (a copy that
//     disagrees, an impossible slot count);
//   - a save that fails: the save's message.
struct HeightsSummary;
bool applyHeights(const TerrainValues& terrain, std::string_view layoutName,
                  const HeightSource& source, HeightsSummary* summary = nullptr);

// What a run adjusted: track ends, objects and cameras given the terrain's
// height, and how many of those lie beyond the terrain's edge (they get the
// height of the edge line nearest to them, which is seldom what was meant).
struct HeightsSummary {
    std::int64_t trackEnds = 0;
    std::int64_t objects = 0;
    std::int64_t cameras = 0;
    std::int64_t outside = 0;
};

// "Hoehen gesetzt: 2 Gleisenden, 3 Objekte, 5 Kameras; 1 davon ausserhalb
// des Gelaendes\n" (the last part "keines ausserhalb des Gelaendes" when all
// lie on it).
std::string heightsSummaryText(const HeightsSummary& summary);
