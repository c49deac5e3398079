#include "hoehen/apply_heights.h"

#include "common/message.h"
#include "common/numeric.h"
#include "layout/layout.h"
#include "raster/height_file.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

// Objects stand this many centimetres lower than tracks and cameras at the
// same spot.
constexpr std::int32_t ObjectDrop = 100;

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

// The position in grid steps along one axis; grid line size / 2 lies at the
// layout origin.
double gridPosition(std::int32_t position, std::int32_t pixelSize, std::int32_t size) {
    if (pixelSize == 0) return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(position) / pixelSize + size * 0.5;
}

} // namespace

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

std::int32_t pointHeight(float faktor, double terrain, float offset, double extra) {
    const std::int32_t ground = truncToInt32(static_cast<double>(faktor) * terrain + offset);
    return wrapAdd(ground, truncToInt32(extra * 100.0));
}

TerrainMapping terrainMapping(const SettingsFile& settings, const HeightSource& source) {
    // Faktor and the offset are single-precision values; the default offset
    // is worked out from the Faktor as read, before it is rounded.
    const double faktorRead = settings.getReal("Terrain1", "Faktor", 1.0f);
    const float defaultShift = toSingle(0.02 - faktorRead * source.minHeight * 0.01);
    const double shift = settings.getReal("Terrain1", "Verschiebung", defaultShift);
    return TerrainMapping{toSingle(faktorRead), toSingle(shift * 100.0)};
}

bool applyHeights(const SettingsFile& settings, std::string_view layoutName,
                  const HeightSource& source) {
    // An empty source has had its reader's message already. A pixel size of 0
    // would put every position infinitely far out; neither gives heights
    // worth writing, so the layout is not even read.
    if (source.gridWidth == 0 || source.gridHeight == 0) return false;
    if (source.pixelSize == 0) return report(ZeroPixelSizeMessage), false;
    if (source.pixelSize < 0) return report(NonPositivePixelSizeMessage, source.pixelSize), false;
    // A mapping that is no number, or puts the terrain beyond what a layout
    // holds, is refused before the layout is touched.
    const TerrainMapping mapping = terrainMapping(settings, source);
    const float faktor = mapping.faktor;
    const float offset = mapping.offset;
    if (!mappedHeightsFit(faktor, offset, source)) return false;

    Layout layout;
    const std::size_t shownBefore = messageCount();
    layout.load(layoutName);
    if (!layout.loaded) {
        // A disagreeing copy ends the load with a console line at most; the
        // user must still learn that the layout was left alone.
        if (messageCount() == shownBefore) report("Formatfehler!\n");
        return false;
    }

    SettingsFile extras;
    if (extras.read(HeightSettingsName, false) == SettingsFile::ReadResult::Refused) return false;
    const std::int32_t all = extras.getInt("Zumt", "Alles", 1);
    const float defaultExtra = toSingle(extras.getReal("Zumt", "DZ", 0.0f));

    // The terrain part fits (checked above); an extra height of "hoehen.ini"
    // may still carry a point beyond 32 bits, and such a layout is not saved.
    bool beyondRange = false;
    auto heightAt = [&](const Point3& p, double extra, std::int32_t drop = 0) {
        const double ground =
            std::trunc(static_cast<double>(faktor) * interpolatedHeight(source, p.x, p.y) + offset);
        const double z = ground + std::trunc(extra * 100.0) - drop;
        if (!(z >= INT32_MIN && z <= INT32_MAX)) {
            beyondRange = true;
            return std::int32_t{0};
        }
        return static_cast<std::int32_t>(z);
    };

    // Objects from other model folders carry a backslash in their path:
    // among them the bridges and buffer stops, which follow their tracks
    // when the layout is saved.
    for (ObjectRecord& object : layout.objects) {
        if (object.path.find('\\') != std::string::npos) continue;
        if (all == 0 && !extras.find("DZ", object.path)) continue;
        const double extra = extras.getReal("DZ", object.path, defaultExtra);
        object.position.z = heightAt(object.position, extra, ObjectDrop);
    }

    if (all != 0 || extras.find("DZ", "Gleise")) {
        const double extra = extras.getReal("DZ", "Gleise", defaultExtra);
        for (TrackRecord& track : layout.tracks) {
            track.start.z = heightAt(track.start, extra);
            track.end.z = heightAt(track.end, extra);
        }
    }

    if (extras.find("DZ", "Kameras")) {
        const double extra = extras.getReal("DZ", "Kameras", defaultExtra);
        for (CameraRecord& camera : layout.cameras)
            camera.position.z = heightAt(camera.position, extra);
    }

    if (beyondRange) return report("Hoehen ausserhalb des Bereichs der Anlage!\n"), false;
    return layout.save(layoutName);
}
