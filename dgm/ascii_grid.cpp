// ESRI ASCII grid (".asc"): a header of "key value" lines, then the values
// row by row, the northern row first, separated by blanks or line ends.
//
//   ncols 4              points west to east
//   nrows 3              points north to south
//   xllcorner 500000     west edge of the grid (or xllcenter: first point)
//   yllcorner 5600000    south edge of the grid (or yllcenter: last row)
//   cellsize 10          spacing of the points (GDAL writes dx and dy
//                        instead when the cells are not square)
//   NODATA_value -9999   optional: the value of a missing point
//
// Keys in any case and order. A value belongs to the centre of its cell, so
// a corner given moves the points by half a cell.
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"

#include <cmath>

namespace {

struct AsciiHeader {
    double columns = 0, rows = 0;
    double x = NAN, y = NAN;
    bool xCorner = false, yCorner = false;
    double cellX = 0, cellY = 0;
    bool hasNoData = false;
    double noData = 0;
};

// Takes one header line; false when it is no header line (then the values
// have begun) or its key is unknown or its value no number (bad stays
// false in the first case, true in the others).
bool headerLine(std::string_view line, AsciiHeader& h, bool& bad) {
    const char* p = skipSeparators(line.data(), line.data() + line.size());
    const char* end = line.data() + line.size();
    if (p == end) return true; // a blank line among the keys
    const char* word = p;
    while (p < end && !isFieldSeparator(*p))
        ++p;
    const std::string_view key(word, static_cast<std::size_t>(p - word));
    if (key.empty() || !((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= 'A' && key[0] <= 'Z')))
        return false;
    double v = 0;
    p = scanNumber(skipSeparators(p, end), end, v);
    if (!p || skipSeparators(p, end) != end) return !(bad = true);
    if (sameIgnoringCase(key, "ncols")) {
        h.columns = v;
    } else if (sameIgnoringCase(key, "nrows")) {
        h.rows = v;
    } else if (sameIgnoringCase(key, "xllcorner") || sameIgnoringCase(key, "xllcenter")) {
        h.x = v;
        h.xCorner = sameIgnoringCase(key, "xllcorner");
    } else if (sameIgnoringCase(key, "yllcorner") || sameIgnoringCase(key, "yllcenter")) {
        h.y = v;
        h.yCorner = sameIgnoringCase(key, "yllcorner");
    } else if (sameIgnoringCase(key, "cellsize")) {
        h.cellX = h.cellY = v;
    } else if (sameIgnoringCase(key, "dx")) {
        h.cellX = v;
    } else if (sameIgnoringCase(key, "dy")) {
        h.cellY = v;
    } else if (sameIgnoringCase(key, "nodata_value")) {
        h.hasNoData = true;
        h.noData = v;
    } else {
        bad = true;
        return false;
    }
    return true;
}

// A count from the header: a whole number from 1 to the grid cap.
bool validCount(double v) {
    return v >= 1 && v <= static_cast<double>(MaxGridPoints) && v == std::floor(v);
}

} // namespace

bool readAsciiGrid(const std::string& path, const ByteSource& source, ElevationGrid& out) {
    const auto formatError = [&] {
        report(FormatErrorIn, path.c_str());
        return false;
    };
    TextLines lines(source);
    AsciiHeader h;
    std::string_view line;
    bool bad = false, more = false;
    while ((more = lines.next(line)) && headerLine(line, h, bad)) {
    }
    if (bad || !validCount(h.columns) || !validCount(h.rows) || !std::isfinite(h.x) ||
        !std::isfinite(h.y) || !(h.cellX > 0) || !(h.cellY > 0) || !std::isfinite(h.cellX) ||
        !std::isfinite(h.cellY))
        return formatError();

    ElevationGrid g;
    g.columns = static_cast<std::size_t>(h.columns);
    g.rows = static_cast<std::size_t>(h.rows);
    std::size_t count = 0;
    if (!checkedMul(g.columns, g.rows, count) || count > MaxGridPoints) {
        report(FileTooLarge, path.c_str());
        return false;
    }
    // Every value takes at least a digit and a separator: a header that
    // claims more than the file can hold is refused before the allocation.
    if (count > source.size() / 2 + 1) return formatError();
    g.stepX = h.cellX;
    g.stepY = h.cellY;
    g.west = h.x + (h.xCorner ? h.cellX / 2 : 0.0);
    g.north = h.y + (h.yCorner ? h.cellY / 2 : 0.0) + static_cast<double>(g.rows - 1) * h.cellY;
    g.heights.resize(count);

    std::size_t n = 0;
    for (; more; more = lines.next(line)) {
        const char* end = line.data() + line.size();
        for (const char* p = skipSeparators(line.data(), end); p < end;
             p = skipSeparators(p, end)) {
            double v = 0;
            p = scanNumber(p, end, v);
            if (!p || (p < end && !isFieldSeparator(*p)) || n == count) {
                report(FormatErrorInLine, path.c_str(), lines.lineForMessage());
                return false;
            }
            // Any other value as it is: readElevationFile judges it.
            if (h.hasNoData && v == h.noData) {
                g.heights[n++] = ElevationGrid::NoData;
                ++g.noData.declared;
            } else {
                g.heights[n++] = toSingle(v);
            }
        }
    }
    if (lines.tooLong() || n != count) return formatError();
    // Bytes in memory have no folder, and so no description beside them.
    if (source.isFile()) readProjectionBeside(path, g.geographic, g.epsg);
    out = std::move(g);
    return true;
}
