// readElevationFile: which reader a file goes to. The content decides where
// it is unmistakable (the TIFF byte-order mark, an ASCII grid's keys, an
// SRTM tile's exact size with its name); a text that starts with points is
// taken for XYZ; anything else is "unbekanntes Format", whatever its name
// (an ".hgt" of the wrong size goes to the SRTM reader, which says so).
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "dgm/elevation_grid.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_structure.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr const char* UnknownFormat = "%s: unbekanntes Format!\n";
constexpr const char* LatitudeOutside = "%s: Breite ausserhalb von -90 bis 90 Grad!\n";
constexpr const char* LongitudeOutside = "%s: Laenge ausserhalb von -180 bis 180 Grad!\n";

// Coordinates printed with few decimals may miss a pole or the date line by
// a rounding error.
constexpr double DegreeTolerance = 1e-9;

enum class Kind { Tiff, Ascii, Srtm, Xyz, Unknown };

bool startsWithAsciiKey(std::string_view head) {
    std::size_t i = head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; // UTF-8 byte-order mark
    while (i < head.size() &&
           (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
        ++i;
    std::string word;
    for (; i < head.size() && word.size() < 16; ++i) {
        const char c = asciiLower(head[i]);
        if (!((c >= 'a' && c <= 'z') || c == '_')) break;
        word += c;
    }
    return word == "ncols" || word == "nrows" || word == "xllcorner" || word == "xllcenter" ||
           word == "yllcorner" || word == "yllcenter" || word == "cellsize";
}

bool isText(std::string_view head) {
    for (char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 && c != '\n' && c != '\r' && c != '\t') return false;
    }
    return !head.empty();
}

Kind kindOf(const std::string& path, std::string_view head, std::uint64_t size) {
    if (looksLikeTiff(head)) return Kind::Tiff;
    if (startsWithAsciiKey(head)) return Kind::Ascii;
    int lat = 0, lon = 0;
    // The extension of the name, not a dot in a folder's name.
    const std::string ext = lowerExtension(splitPath(path).name);
    if (srtmSide(size) != 0 && (ext == ".hgt" || srtmCorner(path, lat, lon))) return Kind::Srtm;
    // A ".tif" without the TIFF mark or an ".asc" without its keys is no
    // such file, whatever its name; an SRTM tile has no mark but its size.
    if (ext == ".hgt") return Kind::Srtm;
    // A text is taken for points only when it starts like them.
    if ((ext == ".xyz" || ext == ".txt" || ext == ".csv" || isText(head)) && looksLikePoints(head))
        return Kind::Xyz;
    return Kind::Unknown;
}

// The points of a grid in degrees must lie on the globe: a corner in the
// wrong field of a header (metres taken for degrees, -105 for a latitude)
// would else be placed somewhere no terrain is.
bool onTheGlobe(const std::string& path, const ElevationGrid& g) {
    if (!g.geographic) return true;
    const double east = g.west + static_cast<double>(g.columns - 1) * g.stepX;
    const double south = g.north - static_cast<double>(g.rows - 1) * g.stepY;
    if (!(south >= -90 - DegreeTolerance && g.north <= 90 + DegreeTolerance)) {
        report(LatitudeOutside, path.c_str());
        return false;
    }
    if (!(g.west >= -180 - DegreeTolerance && east <= 180 + DegreeTolerance)) {
        report(LongitudeOutside, path.c_str());
        return false;
    }
    return true;
}

// One rule for every format: what is no height becomes NaN, counted by its
// cause. The reader has set the points the file declares as holes (and
// counted them); every other NaN came from the file as a value.
void markNoData(ElevationGrid& g, const ReadOptions& options) {
    std::vector<float> given;
    for (double v : options.noData)
        given.push_back(toSingle(v)); // as the heights are stored
    long long nan = 0;
    for (float& h : g.heights) {
        if (std::isnan(h)) {
            ++nan;
        } else if (std::find(given.begin(), given.end(), h) != given.end()) {
            h = ElevationGrid::NoData;
            ++g.noData.given;
        } else if (!isPossibleHeight(h)) {
            h = ElevationGrid::NoData;
            ++g.noData.impossible;
        }
    }
    g.noData.impossible += std::max(0LL, nan - g.noData.declared);
}

} // namespace

bool readElevationFile(const std::string& path, ElevationGrid& out, const ReadOptions& options) {
    out = ElevationGrid();
    FileSource file;
    if (!openRegularFile(path, file)) return false;
    return readElevationFile(path, file, out, options);
}

bool readElevationFile(const std::string& path, const ByteSource& source, ElevationGrid& out,
                       const ReadOptions& options) {
    out = ElevationGrid();
    char head[4096];
    const std::size_t got = source.readSome(0, sizeof head, head);

    ElevationGrid g;
    bool ok = false;
    switch (kindOf(path, std::string_view(head, got), source.size())) {
    case Kind::Tiff:
        ok = readGeoTiffHeights(path, source, g);
        break;
    case Kind::Ascii:
        ok = readAsciiGrid(path, source, g);
        break;
    case Kind::Srtm:
        ok = readSrtmTile(path, source, g);
        break;
    case Kind::Xyz:
        ok = readXyzPoints(path, source, g);
        break;
    case Kind::Unknown:
        report(UnknownFormat, path.c_str());
        return false;
    }
    if (!ok) return false;
    // Coordinates near the end of the double range can overflow when a
    // reader moves from a corner to a centre.
    if (!std::isfinite(g.west) || !std::isfinite(g.north)) {
        report(FormatErrorIn, path.c_str());
        return false;
    }
    if (!onTheGlobe(path, g)) return false;
    markNoData(g, options);
    out = std::move(g);
    return true;
}
