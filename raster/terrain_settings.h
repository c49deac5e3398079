// The [Terrain1] settings of a ".danl" and the rule that turns terrain
// heights into layout heights. zumt_hoehen, gen_zumt_ter and zumt_vorschau
// all read them here, so a layout whose terrain the generator made is later
// fitted to that terrain by the same numbers.
//
// Units: lengths and "Verschiebung" in the settings are metres; terrain and
// layout heights are centimetres.
#pragma once

#include "raster/height_source.h"
#include "settings/settings_file.h"

#include <cstdint>
#include <optional>
#include <string>

// The section and its keys, as the ".danl" spells them.
inline constexpr const char* TerrainSection = "Terrain1";
inline constexpr const char* HeightKey = "Hoehe";
inline constexpr const char* ColourKey = "Farbe";
inline constexpr const char* NameKey = "Name";
inline constexpr const char* PixelSizeKey = "Pixelgroesse";
inline constexpr const char* TileSizeKey = "Kachelgroesse";
inline constexpr const char* TileSpacingKey = "Kachelabstand";
inline constexpr const char* FaktorKey = "Faktor";
inline constexpr const char* RgbFaktorKey = "RGBFaktor";
inline constexpr const char* VerschiebungKey = "Verschiebung";

// The [Terrain1] values, read once. A key that is present but no number
// reads as 0, as every number of the settings does.
struct TerrainValues {
    std::optional<std::string> heightFile; // "Hoehe": ".bmp" or ".ter"
    std::optional<std::string> colourFile; // "Farbe": ".bmp", one pixel per grid step
    std::optional<std::string> name;       // "Name": the models' folder
    double pixelSizeMetres = 0.0;          // "Pixelgroesse": grid step of a height bitmap
    double tileSizeMetres = 400.0;         // "Kachelgroesse": edge of a tile
    double tileSpacingMetres = 200.0;      // "Kachelabstand": distance of tile centres
    double faktor = 1.0;                   // "Faktor": height factor
    double rgbFaktor = 1.0;                // "RGBFaktor": colour factor
    std::optional<double> verschiebung;    // "Verschiebung", metres; absent: defaultVerschiebung
};
TerrainValues readTerrainValues(const SettingsFile& settings);

// The shift (metres) used when "Verschiebung" is absent: it lays the lowest
// terrain point (minHeight, cm) 2 cm above the base plate.
double defaultVerschiebung(double faktor, double minHeightCm);

// The one record of how terrain heights and colours become the layout's and
// the tiles': "Faktor", the offset in cm ("Verschiebung" × 100), "RGBFaktor"
// and the tracks' extra height of "hoehen.ini". The first three are
// single-precision values, which is how the programs have always stored them.
struct TerrainMapping {
    float faktor = 1.0f;           // "Faktor"
    float offset = 0.0f;           // cm: "Verschiebung" × 100, or the default shift's
    float rgbFaktor = 1.0f;        // "RGBFaktor": scales the tiles' colours
    std::int32_t trackExtraCm = 0; // cm, "hoehen.ini"; the mapping functions leave it 0
};

// The mapping of zumt_hoehen and zumt_vorschau: without "Verschiebung" the
// default shift is worked out from the Faktor as read, before it is rounded.
TerrainMapping terrainMapping(const TerrainValues& settings, const HeightSource& source);

// The generator's mapping. It rounds the Faktor to single precision first
// and works the default shift out from that rounded value, so for a Faktor
// that a float does not hold exactly (1.1, 0.3) its default offset can lie a
// fraction of a centimetre from terrainMapping's. Models already made carry
// these heights and zumt_hoehen has always fitted layouts by its own; neither
// may change, so both variants stay, side by side.
TerrainMapping tileMapping(const TerrainValues& settings, const HeightSource& source);

// The terrain height in cm under the layout position (x, y), in cm: the grid
// lies where the generated tiles put it (grid_placement.h: grid point
// (gridWidth / 2, gridHeight / 2), halves rounded down, at the origin), one
// grid step being pixelSize cm, and the four grid points around the
// position are interpolated bilinearly. On a grid point it is that point's
// height.
// Positions beyond the grid take the height of its nearest edge, grid column
// gridWidth and row gridHeight included. The source must not be empty; a
// source with pixel size 0 gives the height of grid point (0, 0).
double interpolatedHeight(const HeightSource& source, std::int32_t x, std::int32_t y);

// The layout height of one point: trunc(faktor × terrain + offset) +
// trunc(extra × 100), products and sum in double precision, each part
// truncated toward zero on its own and the two added as 32-bit integers. A
// part beyond the 32-bit range (or NaN) is -2147483648, and the sum wraps
// around: callers refuse such heights (mappedHeightsFit) before they use it.
std::int32_t pointHeight(float faktor, double terrain, float offset, double extra);

// The same two truncated parts, added in double precision and not wrapped,
// for a caller that refuses a height beyond 32 bits rather than store it.
double widePointHeight(float faktor, double terrain, float offset, double extra);

// The layout and the models store heights as 32-bit centimetres. True when
// trunc(faktor x h + offsetCm) holds in them for the source's lowest and
// highest height h (every height of the source lies between the two, so this
// one check covers the whole terrain). Otherwise false after the message:
//   "Faktor und Verschiebung muessen Zahlen sein!\n"  faktor or offset is
//                                                      NaN or infinite;
//   "Hoehen ausserhalb des Bereichs der Anlage!\n"      anything else, the
//                                                      source's own heights
//                                                      not finite included.
[[nodiscard]] bool mappedHeightsFit(const TerrainMapping& mapping, const HeightSource& source);
