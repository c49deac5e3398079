#include "hoehen/apply_heights.h"

#include "common/message.h"
#include "layout/layout.h"
#include "raster/grid_placement.h"
#include "raster/height_file.h"
#include "raster/layout_pair.h"

#include <cstdint>
#include <string>

namespace {

// Objects stand this many centimetres lower than tracks and cameras at the
// same spot.
constexpr std::int32_t ObjectDrop = 100;

} // namespace

std::string heightsSummaryText(const HeightsSummary& s) {
    const std::string outside = s.outside == 0
                                    ? std::string("keines")
                                    : formatText("%lld davon", static_cast<long long>(s.outside));
    return formatText("Hoehen gesetzt: %lld Gleisenden, %lld Objekte, %lld Kameras; %s "
                      "ausserhalb des Gelaendes\n",
                      static_cast<long long>(s.trackEnds), static_cast<long long>(s.objects),
                      static_cast<long long>(s.cameras), outside.c_str());
}

bool applyHeights(const TerrainValues& terrain, std::string_view layoutName,
                  const HeightSource& source, HeightsSummary* summary) {
    HeightsSummary counted;
    // An empty source has had its reader's message already. A pixel size of 0
    // would put every position infinitely far out; neither gives heights
    // worth writing, so the layout is not even read.
    if (source.gridWidth == 0 || source.gridHeight == 0) return false;
    if (source.pixelSize == 0) {
        report(ZeroPixelSizeMessage);
        return false;
    }
    if (source.pixelSize < 0) {
        report(NonPositivePixelSizeMessage, source.pixelSize);
        return false;
    }
    // A mapping that is no number, or puts the terrain beyond what a layout
    // holds, is refused before the layout is touched.
    const TerrainMapping mapping = terrainMapping(terrain, source);
    const float faktor = mapping.faktor;
    const float offset = mapping.offset;
    if (!mappedHeightsFit(mapping, source)) return false;

    Layout layout;
    const LoadResult loadResult = layout.load(layoutName);
    // A disagreeing copy ends the load with a console line at most; the
    // user must still learn that the layout was left alone.
    if (loadResult == LoadResult::Inconsistent) {
        report("Formatfehler!\n");
        return false;
    }
    if (loadResult != LoadResult::Loaded) return false;

    HeightExtras extras;
    if (!extras.read()) return false;

    // The terrain part fits (checked above); an extra height of "hoehen.ini"
    // may still carry a point beyond 32 bits, and such a layout is not saved.
    bool beyondRange = false;
    // Grid points 0 .. size along each axis; beyond them the edge holds.
    auto onGrid = [&source](std::int32_t cm, std::int32_t size) {
        const double u = gridStepsAt(cm, size, source.pixelSize);
        return u >= 0.0 && u <= size;
    };
    auto heightAt = [&](const Point3& p, double extra, std::int32_t drop = 0) {
        if (!onGrid(p.x, source.gridWidth) || !onGrid(p.y, source.gridHeight)) ++counted.outside;
        const double z =
            widePointHeight(faktor, interpolatedHeight(source, p.x, p.y), offset, extra) - drop;
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
        if (!extras.all() && !extras.names(object.path)) continue;
        const double extra = extras.extraOf(object.path);
        object.position.z = heightAt(object.position, extra, ObjectDrop);
        ++counted.objects;
    }

    if (extras.all() || extras.names(TracksKey)) {
        const double extra = extras.extraOf(TracksKey);
        for (TrackRecord& track : layout.tracks) {
            track.start.z = heightAt(track.start, extra);
            track.end.z = heightAt(track.end, extra);
            counted.trackEnds += 2;
        }
    }

    if (extras.names(CamerasKey)) {
        const double extra = extras.extraOf(CamerasKey);
        for (CameraRecord& camera : layout.cameras) {
            camera.position.z = heightAt(camera.position, extra);
            ++counted.cameras;
        }
    }

    if (beyondRange) {
        report("Hoehen ausserhalb des Bereichs der Anlage!\n");
        return false;
    }
    if (!layout.save(layoutName)) return false;
    if (summary) *summary = counted;
    return true;
}
