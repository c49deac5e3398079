#include "dgm/terrain_writer.h"

#include "common/bytes.h"
#include "common/numeric.h"

#include <algorithm>
#include <cmath>

TerrainEncoding chooseTerrainEncoding(double low, double high, std::int32_t stepCm) {
    TerrainEncoding e;
    e.scaleXY = static_cast<float>(stepCm / 100.0);
    while (truncToInt32(static_cast<double>(e.scaleXY) * 100.0) < stepCm)
        e.scaleXY = std::nextafter(e.scaleXY, 1e30f);
    // GDAL's reader takes the height unit from SCAL x, ours from SCAL z: the
    // two agree only when they are equal, as GDAL's own writer makes them.
    // So the unit stays the grid step whenever the heights fit: BaseHeight
    // moves towards the middle of the heights as far as an int16 goes, and
    // the samples cover the rest. Only where even that fails (fine grids
    // with high terrain) does the unit double until the heights fit; then
    // GDAL reads other heights than ours.
    for (double unit = static_cast<double>(e.scaleXY);; unit *= 2.0) {
        const double lo = low / unit, hi = high / unit;
        const double base = std::clamp(std::round((lo + hi) / 2.0), -32768.0, 32767.0);
        const double half = std::max(hi - base, base - lo);
        // The largest sample, half × 65536 / HeightScale, stays within 32767.
        const double scale = std::max(1.0, std::ceil(half * 65536.0 / 32767.0));
        if (scale <= 32767.0 || unit > 1e30) {
            e.scaleZ = static_cast<float>(unit);
            e.heightScale = static_cast<std::int16_t>(std::min(scale, 32767.0));
            e.baseHeight = static_cast<std::int16_t>(base);
            return e;
        }
    }
}

std::vector<std::uint8_t> encodeTerrain(RowGrid&& grid, std::int32_t stepCm) {
    const std::size_t xpts = grid.columns, ypts = grid.rows.size();
    if (xpts < 2 || ypts < 2 || xpts > MaxTerrainSide || ypts > MaxTerrainSide) return {};
    const HeightRange range = heightRange(grid);
    const TerrainEncoding e = chooseTerrainEncoding(range.low, range.high, stepCm);

    ByteWriter w;
    w.reserve(72 + 2 * xpts * ypts + 8);
    w.bytes("TERRAGEN", 8);
    w.bytes("TERRAIN ", 8);
    auto countChunk = [&w](const char* tag, std::size_t n) {
        w.bytes(tag, 4);
        w.u16(static_cast<std::uint16_t>(n));
        w.u16(0);
    };
    countChunk("SIZE", std::min(xpts, ypts) - 1);
    countChunk("XPTS", xpts);
    countChunk("YPTS", ypts);
    w.bytes("SCAL", 4);
    w.f32(e.scaleXY);
    w.f32(e.scaleXY);
    w.f32(e.scaleZ);
    w.bytes("ALTW", 4);
    w.i16(e.heightScale);
    w.i16(e.baseHeight);
    const double perSample = 65536.0 / e.heightScale;
    const double base = e.baseHeight;
    const double unit = e.scaleZ;
    // A ".ter" runs from the south: the grid's last row comes first.
    for (std::size_t r = ypts; r-- > 0;) {
        for (float h : grid.rows[r]) {
            const double s = std::round((static_cast<double>(h) / unit - base) * perSample);
            w.i16(
                static_cast<std::int16_t>(std::clamp(std::isnan(s) ? 0.0 : s, -32767.0, 32767.0)));
        }
        std::vector<float>().swap(grid.rows[r]);
    }
    if ((xpts * ypts) % 2 != 0) w.u16(0);
    w.bytes("EOF ", 4);
    grid = RowGrid{};
    return std::move(w.buffer());
}
