// XYZ point lists (".xyz", ".txt", ".csv"): one point a line, "x y z",
// separated by blanks, tabs, commas or semicolons; the first line may be a
// header ("X Y Z", "rechts;hoch;hoehe"). The survey offices hand out 1 km
// tiles at 1 m: a million lines, in rows that run north to south or south to
// north, and some tools shuffle them. Nothing in the file says the grid: its
// spacing is the smallest distance of two distinct x (resp. y) values, and
// every point must lie on that lattice. Points the file leaves out are holes;
// a point given twice keeps its first height.
//
// The points are kept as they come, in three compact arrays (20 bytes a
// point), and placed on the grid once its shape is known.
#include "common/message.h"
#include "common/numeric.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* NoLattice = "%s: die Punkte liegen auf keinem regelmaessigen Raster!\n";
constexpr const char* TooFewPoints = "%s: zu wenig Punkte fuer ein Raster!\n";
constexpr const char* TooSparse = "%s: die Punkte fuellen ihr Raster nicht einmal zu 1 %%!\n";
constexpr const char* TooLargeGrid =
    "%s: die Punkte spannen ein zu grosses Raster auf (ein Punkt weit abseits?)!\n";

// A grid that the points fill to less than 1 % is no terrain but a stray
// point (a typing error, a misplaced line) far away from the others: it
// would take memory for nothing but holes. Small grids are always taken.
constexpr std::size_t MinPointsPerCent = 1;
constexpr std::size_t AlwaysTakenPoints = 65536;

// How far from a lattice point a coordinate may lie, in steps: coordinates
// printed with few decimals (a third of a metre, seconds of arc) are off by
// a little.
constexpr double LatticeTolerance = 0.05;

// Two heights of one point that differ by more than this are a conflict.
constexpr double ConflictMetres = 0.01;

struct Points {
    std::vector<double> x, y;
    std::vector<float> z;
};

constexpr const char* NotAPoint = "Formatfehler in %s, Zeile %u: keine drei Zahlen x y z!\n";
constexpr const char* MixedDecimals =
    "Formatfehler in %s, Zeile %u: Dezimalpunkt und Dezimalkomma gemischt!\n";
constexpr const char* AmbiguousCommas =
    "Formatfehler in %s, Zeile %u: Kommas trennen die Felder und die Nachkommastellen "
    "(Felder mit Semikolon trennen)!\n";

enum class LineProblem { None, Fields, Mixed, Commas };

// A number with a decimal comma ("90,99") up to end: the text with a point
// for the comma through the scanner. Null when none starts at p.
const char* scanCommaNumber(const char* p, const char* end, double& out) {
    char text[64];
    std::size_t n = 0;
    const char* q = p;
    for (; q < end && *q != ';' && *q != ' ' && *q != '\t' && *q != '\r' && n < sizeof text; ++q)
        text[n++] = *q == ',' ? '.' : *q;
    const char* last = scanNumber(text, text + n, out);
    return last ? p + (last - text) : nullptr;
}

// Reads "x y z" from a line: fields separated by blanks, tabs, commas or
// semicolons with a decimal point; or, in a line holding both semicolons
// and commas (German spreadsheets: "500000,00;5401260,00;90,99"), fields
// separated by semicolons with a decimal comma. What cannot be told apart
// is refused with its reason.
LineProblem parsePoint(std::string_view line, double& x, double& y, double& z) {
    const char* end = line.data() + line.size();
    const char* p = line.data();
    const bool semicolons = line.find(';') != std::string_view::npos;
    const bool commas = line.find(',') != std::string_view::npos;
    const bool decimalComma = semicolons && commas;
    if (decimalComma && line.find('.') != std::string_view::npos) return LineProblem::Mixed;
    const auto separator = [&](char c) {
        return decimalComma ? c != ',' && isFieldSeparator(c) : isFieldSeparator(c);
    };
    double* fields[3] = {&x, &y, &z};
    for (double* f : fields) {
        while (p < end && separator(*p))
            ++p;
        p = decimalComma ? scanCommaNumber(p, end, *f) : scanNumber(p, end, *f);
        if (!p || (p < end && !separator(*p))) return LineProblem::Fields;
    }
    while (p < end && separator(*p))
        ++p;
    if (p == end) return LineProblem::None;
    // "500000,00,5401260,00,90,99": more numbers than three, the commas
    // both separators and decimal marks.
    if (commas && !semicolons) return LineProblem::Commas;
    return LineProblem::Fields;
}

bool isBlank(std::string_view line) {
    return skipSeparators(line.data(), line.data() + line.size()) == line.data() + line.size();
}

// The nearest whole number of t >= -0.5, without a call into the maths
// library (the lattice tests run once per point).
std::int64_t nearest(double t) {
    return static_cast<std::int64_t>(t + 0.5);
}

enum class Lattice { Found, None, TooLarge };

// Whether every value lies on lo + k × step (k whole). step is refined to
// the range divided by the number of steps, so that rounding in the
// distance it came from does not add up over a thousand points.
Lattice onLattice(const std::vector<double>& v, double lo, double hi, double& step) {
    const double n = std::round((hi - lo) / step);
    if (!(n >= 1)) return Lattice::None;
    if (n >= static_cast<double>(MaxGridPoints)) return Lattice::TooLarge;
    step = (hi - lo) / n;
    const double inverse = 1.0 / step;
    for (double a : v) {
        const double t = (a - lo) * inverse; // >= 0: lo is the smallest
        if (std::fabs(t - static_cast<double>(nearest(t))) > LatticeTolerance) return Lattice::None;
    }
    return Lattice::Found;
}

// Whether a and b differ by more than a rounding error of their own size.
// (Measured against the whole range instead, a point far away would make the
// real spacing of the others vanish, and their points fall onto one.)
bool distinct(double a, double b, double d) {
    return d > 1e-10 * std::max({std::fabs(a), std::fabs(b), 1.0});
}

// The lattice step of one axis in step: 0 when every value is the same.
// TooLarge when the values span more lattice points than a grid may hold
// (the smallest distance of two values bounds the step from above, so no
// other lattice would hold them in fewer points).
Lattice latticeStep(const std::vector<double>& v, double lo, double hi, double& step) {
    step = 0.0;
    if (hi == lo) return Lattice::Found;
    // The quick way: in a file of rows (in either order, or shuffled among
    // many points) two consecutive lines are one step apart somewhere. The
    // smallest such distance is a multiple of the step; when every value
    // lies on its lattice it is the step itself.
    step = INFINITY;
    for (std::size_t i = 1; i < v.size(); ++i) {
        const double d = std::fabs(v[i] - v[i - 1]);
        if (distinct(v[i], v[i - 1], d) && d < step) step = d;
    }
    const Lattice quick = onLattice(v, lo, hi, step);
    if (quick != Lattice::None) return quick;
    // Else the distances of the sorted distinct values.
    std::vector<double> sorted(v);
    std::sort(sorted.begin(), sorted.end());
    step = INFINITY;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const double d = sorted[i] - sorted[i - 1];
        if (distinct(sorted[i], sorted[i - 1], d) && d < step) step = d;
    }
    return onLattice(v, lo, hi, step);
}

bool readPoints(const std::string& path, const ByteSource& source, Points& pts) {
    TextLines lines(source);
    std::string_view line;
    bool first = true;
    while (lines.next(line)) {
        double x, y, z;
        if (const LineProblem problem = parsePoint(line, x, y, z); problem != LineProblem::None) {
            if (isBlank(line)) continue;
            if (first && problem == LineProblem::Fields) {
                first = false; // the header
                continue;
            }
            const char* why = problem == LineProblem::Mixed    ? MixedDecimals
                              : problem == LineProblem::Commas ? AmbiguousCommas
                                                               : NotAPoint;
            report(why, path.c_str(), lines.lineForMessage());
            return false;
        }
        first = false;
        if (!std::isfinite(x) || !std::isfinite(y)) {
            report(FormatErrorInLine, path.c_str(), lines.lineForMessage());
            return false;
        }
        if (pts.x.size() == MaxGridPoints) {
            report(FileTooLarge, path.c_str());
            return false;
        }
        if (pts.x.size() == 4096) {
            // Room for the whole file at the line length seen so far, so that
            // the arrays do not grow by doubling (and peak at twice the size).
            const double perLine = static_cast<double>(lines.consumed()) / 4096.0;
            const double expected = static_cast<double>(source.size()) / perLine * 1.05;
            const auto n =
                static_cast<std::size_t>(std::min(expected, static_cast<double>(MaxGridPoints)));
            pts.x.reserve(n);
            pts.y.reserve(n);
            pts.z.reserve(n);
        }
        pts.x.push_back(x);
        pts.y.push_back(y);
        pts.z.push_back(toSingle(z));
    }
    if (lines.tooLong()) {
        report(FormatErrorIn, path.c_str());
        return false;
    }
    return true;
}

} // namespace

bool looksLikePoints(std::string_view head) {
    bool header = true; // one line of names may come first
    while (!head.empty()) {
        const std::size_t cut = std::min(head.find('\n'), head.size());
        const std::string_view line = head.substr(0, cut);
        head.remove_prefix(std::min(cut + 1, head.size()));
        if (isBlank(line)) continue;
        // Three numbers at the start, in either form of decimal mark.
        const char* p = line.data();
        const char* end = p + line.size();
        int numbers = 0;
        double v = 0;
        for (; numbers < 3; ++numbers) {
            p = skipSeparators(p, end);
            if (!(p = scanNumber(p, end, v))) break;
        }
        if (numbers == 3) return true;
        if (!header) return false;
        header = false;
    }
    return false;
}

bool readXyzPoints(const std::string& path, const ByteSource& source, ElevationGrid& out) {
    Points pts;
    if (!readPoints(path, source, pts)) return false;
    if (pts.x.size() < 2) {
        report(TooFewPoints, path.c_str());
        return false;
    }
    const auto [minX, maxX] = std::minmax_element(pts.x.begin(), pts.x.end());
    const auto [minY, maxY] = std::minmax_element(pts.y.begin(), pts.y.end());
    double stepX = 0, stepY = 0;
    const Lattice alongX = latticeStep(pts.x, *minX, *maxX, stepX);
    const Lattice alongY = latticeStep(pts.y, *minY, *maxY, stepY);
    if (alongX == Lattice::TooLarge || alongY == Lattice::TooLarge) {
        report(TooLargeGrid, path.c_str());
        return false;
    }
    if (alongX == Lattice::None || alongY == Lattice::None) {
        report(NoLattice, path.c_str());
        return false;
    }
    // A single row or column has its spacing from the other axis.
    if (stepX == 0) stepX = stepY;
    if (stepY == 0) stepY = stepX;
    if (stepX == 0) {
        report(TooFewPoints, path.c_str());
        return false;
    }
    // Nothing in the file says the spacing: one point far off along x makes
    // the x step huge (two columns 1e15 m apart) while y keeps its metre, and
    // a terrain of square cells would need the whole width at the finer
    // step. That grid must fit as well.
    const double fine = std::min(stepX, stepY);
    const double wide = std::round((*maxX - *minX) / fine) + 1;
    const double high = std::round((*maxY - *minY) / fine) + 1;
    if (!(wide * high <= static_cast<double>(MaxGridPoints))) {
        report(TooLargeGrid, path.c_str());
        return false;
    }

    ElevationGrid g;
    // Each below MaxGridPoints (latticeStep); their product is checked.
    g.columns = static_cast<std::size_t>(std::llround((*maxX - *minX) / stepX)) + 1;
    g.rows = static_cast<std::size_t>(std::llround((*maxY - *minY) / stepY)) + 1;
    std::size_t count = 0;
    if (!checkedMul(g.columns, g.rows, count) || count > MaxGridPoints) {
        report(TooLargeGrid, path.c_str());
        return false;
    }
    if (count > AlwaysTakenPoints && pts.x.size() < count / 100 * MinPointsPerCent) {
        report(TooSparse, path.c_str());
        return false;
    }
    g.west = *minX;
    g.north = *maxY;
    g.stepX = stepX;
    g.stepY = stepY;
    g.heights.assign(count, ElevationGrid::NoData);
    const double toColumn = 1.0 / stepX, toRow = 1.0 / stepY;
    std::size_t given = 0;
    for (std::size_t i = 0; i < pts.x.size(); ++i) {
        // On the lattice (checked), so the rounded indices are inside.
        const auto c = static_cast<std::size_t>(nearest((pts.x[i] - g.west) * toColumn));
        const auto r = static_cast<std::size_t>(nearest((g.north - pts.y[i]) * toRow));
        float& h = g.heights[r * g.columns + c];
        const float z = pts.z[i]; // never NaN: the scanner reads no "nan"
        if (std::isnan(h)) {
            h = z;
            ++given;
        } else if (!isPossibleHeight(h)) {
            // A placeholder such as -32768 is no height to keep.
            h = z;
        } else if (isPossibleHeight(z) && std::fabs(double{z} - double{h}) > ConflictMetres) {
            ++g.conflicts.points;
            g.conflicts.largest = std::max(g.conflicts.largest, std::fabs(double{z} - double{h}));
        }
    }
    // The lattice points no line gives are the file's holes.
    g.noData.declared = static_cast<long long>(count - given);
    // Bytes in memory have no folder, and so no description beside them.
    if (source.isFile()) readProjectionBeside(path, g.geographic, g.epsg);
    out = std::move(g);
    return true;
}
