// SRTM tiles (".hgt"): nothing but the heights, n × n big-endian signed
// 16-bit metres, the northern row first; -32768 marks a void. n is 1201 (3
// arc seconds) or 3601 (1 arc second): the file size tells which. Where the
// tile lies only its name says: "N47E011" has the centre of its south-west
// point at 47° N, 11° E, and its rows and columns overlap the neighbouring
// tiles by one point.
#include "common/bytes.h"
#include "common/message.h"
#include "common/paths.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"

namespace {

constexpr const char* NoPosition = "%s: der Name gibt die Lage nicht an (z.B. N47E011.hgt)!\n";
constexpr std::int16_t Void = -32768;

// Reads up to `digits` decimal digits of text at i; -1 unless all are there.
int number(const std::string& text, std::size_t i, std::size_t digits) {
    if (i + digits > text.size()) return -1;
    int v = 0;
    for (std::size_t k = i; k < i + digits; ++k) {
        if (text[k] < '0' || text[k] > '9') return -1;
        v = v * 10 + (text[k] - '0');
    }
    return v;
}

} // namespace

std::size_t srtmSide(std::uint64_t fileBytes) {
    for (std::size_t n : {std::size_t{1201}, std::size_t{3601}})
        if (fileBytes == 2 * n * n) return n;
    return 0;
}

bool srtmCorner(const std::string& path, int& latitude, int& longitude) {
    const std::string name = splitPath(path).name;
    if (name.size() < 7) return false;
    const char ns = static_cast<char>(name[0] & ~0x20), ew = static_cast<char>(name[3] & ~0x20);
    const int lat = number(name, 1, 2), lon = number(name, 4, 3);
    if ((ns != 'N' && ns != 'S') || (ew != 'E' && ew != 'W') || lat < 0 || lon < 0) return false;
    const int south = ns == 'S' ? -lat : lat, west = ew == 'W' ? -lon : lon;
    // The tile and its top row must lie on the globe: N90 would reach 91
    // degrees, E180 181 degrees (W180 and S90 are the first tiles).
    if (south < -90 || south >= 90 || west < -180 || west >= 180) return false;
    latitude = south;
    longitude = west;
    return true;
}

bool readSrtmTile(const std::string& path, const ByteSource& source, ElevationGrid& out) {
    std::vector<std::uint8_t> buffer;
    std::span<const std::uint8_t> bytes;
    if (!wholeSourceOrReport(path, source, MaxBinaryFileBytes, buffer, bytes)) return false;
    const std::size_t n = srtmSide(bytes.size());
    if (n == 0) {
        report(FormatErrorIn, path.c_str());
        return false;
    }
    int latitude = 0, longitude = 0;
    if (!srtmCorner(path, latitude, longitude)) {
        report(NoPosition, path.c_str());
        return false;
    }
    ElevationGrid g;
    g.columns = g.rows = n;
    g.stepX = g.stepY = 1.0 / static_cast<double>(n - 1);
    g.west = longitude;
    g.north = latitude + 1;
    g.geographic = true;
    g.epsg = 4326;
    g.heights.resize(n * n);
    ByteReader r(bytes.data(), bytes.size());
    for (float& h : g.heights) {
        const std::int16_t v = r.i16be();
        h = v == Void ? ElevationGrid::NoData : static_cast<float>(v);
        g.noData.declared += v == Void ? 1 : 0;
    }
    out = std::move(g);
    return true;
}
