// readElevationFile: which reader a file goes to. The content decides where
// it is unmistakable (the TIFF byte-order mark, an ASCII grid's keys, an
// SRTM tile's exact size with its name), else the extension, else a text
// file is taken for XYZ points.
#include "common/message.h"
#include "dgm/elevation_grid.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_structure.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* UnknownFormat = "%s: unbekanntes Format!\n";

enum class Kind { Tiff, Ascii, Srtm, Xyz, Unknown };

bool startsWithAsciiKey(std::string_view head) {
    std::size_t i = head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; // UTF-8 byte-order mark
    while (i < head.size() &&
           (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
        ++i;
    std::string word;
    for (; i < head.size() && word.size() < 16; ++i) {
        char c = head[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
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
    const std::string ext = lowerExtension(path);
    if (srtmSide(size) != 0 && (ext == "hgt" || srtmCorner(path, lat, lon))) return Kind::Srtm;
    if (ext == "tif" || ext == "tiff") return Kind::Tiff;
    if (ext == "asc") return Kind::Ascii;
    if (ext == "hgt") return Kind::Srtm;
    if (ext == "xyz" || ext == "txt" || ext == "csv" || isText(head)) return Kind::Xyz;
    return Kind::Unknown;
}

} // namespace

bool readElevationFile(const std::string& path, ElevationGrid& out) {
    out = ElevationGrid();
    InputFile file;
    if (!openRegularFile(path, file)) return false;
    char head[4096];
    const std::size_t got = file.read(head, sizeof head);
    const std::uint64_t size = file.size();
    file.close();

    ElevationGrid g;
    bool ok = false;
    switch (kindOf(path, std::string_view(head, got), size)) {
    case Kind::Tiff: {
        std::vector<std::uint8_t> bytes;
        ok = loadRegularFile(path, MaxBinaryFileBytes, bytes) && readGeoTiffHeights(path, bytes, g);
        break;
    }
    case Kind::Ascii:
        ok = readAsciiGrid(path, g);
        break;
    case Kind::Srtm:
        ok = readSrtmTile(path, g);
        break;
    case Kind::Xyz:
        ok = readXyzPoints(path, g);
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
    out = std::move(g);
    return true;
}
