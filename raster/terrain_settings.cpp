#include "raster/terrain_settings.h"

#include "common/message.h"
#include "common/numeric.h"
#include "raster/grid_placement.h"

#include <cmath>
#include <limits>

namespace {

// The lowest terrain point lies this many metres above the base plate when
// "Verschiebung" is absent.
constexpr double LiftAboveBase = 0.02;

// One axis of the interpolation: the grid lines i0 and i1 around a position
// and the weight f of line i1.
struct GridSpan {
    std::int32_t i0;
    std::int32_t i1;
    double f;
};

// u is the position in grid steps; the grid lines run from 0 to size, both
// included.
GridSpan gridSpan(double u, std::int32_t size) {
    // Before the first line, and for a position that is no number: the first
    // line alone.
    if (!(u >= 0.0)) return {0, 0, 1.0};
    // The terrain tiles reach to line size, so the last cell interpolates
    // towards it like any other; from line size on, that line alone.
    if (u >= size) return {size, size, 1.0};
    const auto i0 = static_cast<std::int32_t>(u);
    return {i0, i0 + 1, u - i0};
}

// The position in grid steps along one axis, where the generated tiles put
// it; with pixel size 0 no number, which takes the first line.
double gridPosition(std::int32_t position, std::int32_t pixelSize, std::int32_t size) {
    if (pixelSize == 0) return std::numeric_limits<double>::quiet_NaN();
    return gridStepsAt(position, size, pixelSize);
}

std::optional<std::string> text(const SettingsFile& settings, const char* key) {
    const std::string* value = settings.find(TerrainSection, key);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

// The offset in cm of a shift in metres. The default shift is a float as
// well, so it reaches the offset rounded twice, as it always has.
float offsetCm(const TerrainValues& settings, double faktorForDefault, double minHeight) {
    const double shift = settings.verschiebung
                             ? *settings.verschiebung
                             : toSingle(defaultVerschiebung(faktorForDefault, minHeight));
    return toSingle(shift * 100.0);
}

} // namespace

TerrainValues readTerrainValues(const SettingsFile& settings) {
    TerrainValues t;
    // The defaults pass through a float, as the settings store hands them out.
    auto real = [&settings](const char* key, float def) {
        return settings.getReal(TerrainSection, key, def);
    };
    t.heightFile = text(settings, HeightKey);
    t.colourFile = text(settings, ColourKey);
    t.name = text(settings, NameKey);
    t.pixelSizeMetres = real(PixelSizeKey, 0.0f);
    t.tileSizeMetres = real(TileSizeKey, 400.0f);
    t.tileSpacingMetres = real(TileSpacingKey, 200.0f);
    t.faktor = real(FaktorKey, 1.0f);
    t.rgbFaktor = real(RgbFaktorKey, 1.0f);
    if (settings.find(TerrainSection, VerschiebungKey))
        t.verschiebung = real(VerschiebungKey, 0.0f);
    return t;
}

double defaultVerschiebung(double faktor, double minHeightCm) {
    return LiftAboveBase - faktor * minHeightCm * 0.01;
}

TerrainMapping terrainMapping(const TerrainValues& settings, const HeightSource& source) {
    return TerrainMapping{toSingle(settings.faktor),
                          offsetCm(settings, settings.faktor, source.minHeight),
                          toSingle(settings.rgbFaktor)};
}

TerrainMapping tileMapping(const TerrainValues& settings, const HeightSource& source) {
    const float faktor = toSingle(settings.faktor);
    return TerrainMapping{faktor, offsetCm(settings, faktor, source.minHeight),
                          toSingle(settings.rgbFaktor)};
}

double interpolatedHeight(const HeightSource& source, std::int32_t x, std::int32_t y) {
    const GridSpan u =
        gridSpan(gridPosition(x, source.pixelSize, source.gridWidth), source.gridWidth);
    const GridSpan v =
        gridSpan(gridPosition(y, source.pixelSize, source.gridHeight), source.gridHeight);
    const double h00 = source.heightAt(u.i0, v.i0);
    const double h10 = source.heightAt(u.i1, v.i0);
    const double h01 = source.heightAt(u.i0, v.i1);
    const double h11 = source.heightAt(u.i1, v.i1);
    return h00 * (1 - u.f) * (1 - v.f) + h10 * u.f * (1 - v.f) + h01 * (1 - u.f) * v.f +
           h11 * u.f * v.f;
}

namespace {

// The two parts of a point's height, each truncated toward zero on its own.
struct HeightParts {
    double ground;
    double extra;
};
HeightParts heightParts(float faktor, double terrain, float offset, double extra) {
    return {std::trunc(static_cast<double>(faktor) * terrain + offset), std::trunc(extra * 100.0)};
}

} // namespace

std::int32_t pointHeight(float faktor, double terrain, float offset, double extra) {
    const HeightParts parts = heightParts(faktor, terrain, offset, extra);
    return wrapAdd(truncToInt32(parts.ground), truncToInt32(parts.extra));
}

double widePointHeight(float faktor, double terrain, float offset, double extra) {
    const HeightParts parts = heightParts(faktor, terrain, offset, extra);
    return parts.ground + parts.extra;
}

bool mappedHeightsFit(const TerrainMapping& mapping, const HeightSource& source) {
    const char* const beyond = "Hoehen ausserhalb des Bereichs der Anlage!\n";
    const double faktor = mapping.faktor;
    const double offset = mapping.offset;
    // A terrain file whose vertical scale is no number: the default shift,
    // worked out from its lowest point, is none either; that is not the
    // user's Faktor.
    if (!std::isfinite(source.minHeight) || !std::isfinite(source.maxHeight))
        return report("%s", beyond) != 0;
    if (!std::isfinite(faktor) || !std::isfinite(offset))
        return report("Faktor und Verschiebung muessen Zahlen sein!\n") != 0;
    // Truncation toward zero keeps a value within the 32-bit range when it
    // lies within (INT32_MIN - 1, INT32_MAX + 1).
    auto fits = [](double v) { return v > -2147483649.0 && v < 2147483648.0; };
    if (!fits(faktor * source.minHeight + offset) || !fits(faktor * source.maxHeight + offset))
        return report("%s", beyond) != 0;
    return true;
}
