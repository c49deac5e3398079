#include "raster/terragen_writer.h"

#include "common/bytes.h"
#include "common/numeric.h"

#include <algorithm>
#include <cmath>

std::vector<std::uint8_t> encodeTerragenFile(const TerragenHeader& h,
                                             const TerragenRowSource& row) {
    const std::size_t xpts = h.xpts, ypts = h.ypts;
    if (xpts < 2 || ypts < 2 || (!h.pointChunks && xpts != ypts)) return {};
    const std::size_t count = xpts * ypts;
    const std::size_t size =
        16 + 8 + (h.pointChunks ? 16 : 0) + 16 + 8 + 2 * count + (count % 2 != 0 ? 2 : 0) + 4;
    std::vector<std::uint8_t> image(size);
    ByteCursor w(image.data(), image.size());
    w.bytes("TERRAGEN", 8);
    w.bytes("TERRAIN ", 8);
    auto countChunk = [&w](const char* tag, std::size_t n) {
        w.bytes(tag, 4);
        w.u16(static_cast<std::uint16_t>(n));
        w.u16(0);
    };
    countChunk("SIZE", std::min(xpts, ypts) - 1);
    if (h.pointChunks) {
        countChunk("XPTS", xpts);
        countChunk("YPTS", ypts);
    }
    w.bytes("SCAL", 4);
    w.f32(h.scaleX);
    w.f32(h.scaleY);
    w.f32(h.scaleZ);
    w.bytes("ALTW", 4);
    w.i16(h.heightScale);
    w.i16(h.baseHeight);
    std::vector<std::int16_t> samples(xpts);
    for (std::size_t r = 0; r < ypts; ++r) {
        row(r, samples.data());
        for (std::int16_t s : samples)
            w.i16(s);
    }
    if (count % 2 != 0) w.u16(0);
    w.bytes("EOF ", 4);
    if (!w.atEnd()) return {}; // the size above and the chunks disagree
    return image;
}

std::int16_t TerrainEncoding::sample(double metres) const {
    // Written as the converter always wrote it: the rounding, and with it
    // every stored sample, depends on the order of the operations.
    const double perSample = 65536.0 / heightScale;
    const double s = std::round((metres / static_cast<double>(scaleZ) - baseHeight) * perSample);
    return static_cast<std::int16_t>(std::clamp(std::isnan(s) ? 0.0 : s, -32767.0, 32767.0));
}

TerragenHeader TerrainEncoding::header(std::uint16_t xpts, std::uint16_t ypts) const {
    TerragenHeader h;
    h.xpts = xpts;
    h.ypts = ypts;
    h.scaleX = h.scaleY = scaleXY;
    h.scaleZ = scaleZ;
    h.heightScale = heightScale;
    h.baseHeight = baseHeight;
    return h;
}

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
