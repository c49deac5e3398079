#include "dgm/terrain_grid.h"

#include "common/message.h"
#include "dgm/reader_support.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr float NoData = std::numeric_limits<float>::quiet_NaN();

// Steps read from different files are the same when they agree to a
// millionth; points lie on the same lattice when they are off it by less
// than a hundredth of a step (text formats round their coordinates).
constexpr double StepTolerance = 1e-6;
constexpr double LatticeTolerance = 0.01;
// Overlapping inputs agree when their heights are at most a centimetre apart.
constexpr double OverlapTolerance = 0.01;

bool sameStep(double a, double b) {
    return std::fabs(a - b) <= StepTolerance * std::max(a, b);
}

// The lattice index nearest to the offset, and whether the offset lies on it.
bool onLattice(double offset, double step, long long& index) {
    const double k = offset / step;
    if (!(std::fabs(k) < 1e15)) return false;
    index = std::llround(k);
    return std::fabs(k - static_cast<double>(index)) <= LatticeTolerance;
}

void freeRow(std::vector<float>& row) {
    std::vector<float>().swap(row);
}

// A lattice index from an offset in steps that may lie anywhere (a cut far
// beyond the inputs, or NaN): clamped where no input reaches, so the
// conversion stays defined. Inputs lie within ±1e15 steps (onLattice).
long long clampedIndex(double k) {
    constexpr double Far = 4e15;
    if (!(k > -Far)) return -static_cast<long long>(Far);
    if (k > Far) return static_cast<long long>(Far);
    return static_cast<long long>(k);
}

// Great-circle distance in metres between two points in degrees (on a
// sphere of the Earth's mean radius: enough to tell how far apart two
// inputs lie).
double greatCircleMetres(double lon1, double lat1, double lon2, double lat2) {
    const double toRad = std::numbers::pi / 180.0;
    const double sLat = std::sin((lat2 - lat1) * toRad / 2.0);
    const double sLon = std::sin((lon2 - lon1) * toRad / 2.0);
    const double h = sLat * sLat + std::cos(lat1 * toRad) * std::cos(lat2 * toRad) * sLon * sLon;
    return 2.0 * 6371000.0 * std::asin(std::sqrt(std::clamp(h, 0.0, 1.0)));
}

// The lattice indices of the closest points of two index ranges [from, to).
void closestIndices(long long aFrom, long long aTo, long long bFrom, long long bTo, long long& a,
                    long long& b) {
    if (bFrom >= aTo) {
        a = aTo - 1, b = bFrom;
    } else if (aFrom >= bTo) {
        a = aFrom, b = bTo - 1;
    } else {
        a = b = std::max(aFrom, bFrom); // they overlap
    }
}

} // namespace

Mosaic::Mosaic(std::optional<Area> cut) : cut_(cut) {}

double Mosaic::distance(const Input& a, const Input& b) const {
    long long ca = 0, cb = 0, ra = 0, rb = 0;
    closestIndices(a.columnFrom, a.columnTo, b.columnFrom, b.columnTo, ca, cb);
    closestIndices(a.rowFrom, a.rowTo, b.rowFrom, b.rowTo, ra, rb);
    auto x = [&](long long c) { return anchorWest_ + static_cast<double>(c) * grid_.stepX; };
    auto y = [&](long long r) { return anchorNorth_ - static_cast<double>(r) * grid_.stepY; };
    if (grid_.geographic) return greatCircleMetres(x(ca), y(ra), x(cb), y(rb));
    return std::hypot(x(cb) - x(ca), y(rb) - y(ra));
}

bool Mosaic::refuseSize(const Input& added, long long columns, long long rows) {
    const double points = static_cast<double>(columns) * static_cast<double>(rows);
    const double given = inputPoints_ + static_cast<double>(added.columnTo - added.columnFrom) *
                                            static_cast<double>(added.rowTo - added.rowFrom);
    if (!inputs_.empty() && 2.0 * given < points) {
        // Mostly gap: name the two inputs farthest apart (the new one too).
        const Input* a = &inputs_.front();
        const Input* b = &added;
        double farthest = -1.0;
        for (std::size_t i = 0; i <= inputs_.size(); ++i) {
            const Input& p = i < inputs_.size() ? inputs_[i] : added;
            for (std::size_t j = 0; j < i; ++j) {
                const double d = distance(inputs_[j], p);
                if (d > farthest) farthest = d, a = &inputs_[j], b = &p;
            }
        }
        report("%s und %s liegen nicht beieinander (%.1f km)!\n", a->name.c_str(), b->name.c_str(),
               farthest / 1000.0);
        return false;
    }
    report("Hoehendaten zu gross mit %s: %llu x %llu Punkte (hoechstens %llu je Seite, %llu "
           "insgesamt)!\n",
           added.name.c_str(), static_cast<unsigned long long>(columns),
           static_cast<unsigned long long>(rows), static_cast<unsigned long long>(MaxMosaicSide),
           static_cast<unsigned long long>(MaxGridPoints));
    return false;
}

bool Mosaic::add(ElevationGrid& g, const std::string& name) {
    // Taken in: its counts join the sums, its heights are freed.
    auto accept = [&] {
        noData_.declared += g.noData.declared;
        noData_.impossible += g.noData.impossible;
        noData_.given += g.noData.given;
        repeated_.points += g.conflicts.points;
        repeated_.largest = std::max(repeated_.largest, g.conflicts.largest);
        std::vector<float>().swap(g.heights);
        return true;
    };
    if (g.columns == 0 || g.rows == 0 || !(g.stepX > 0.0) || !(g.stepY > 0.0)) return accept();
    auto refuse = [&](const std::string& why) {
        report("%s passt nicht zu %s (%s)!\n", name.c_str(), firstName_.c_str(), why.c_str());
        return false;
    };
    const bool first = !started_;
    if (first) {
        started_ = true;
        firstName_ = name;
        grid_.stepX = g.stepX;
        grid_.stepY = g.stepY;
        grid_.geographic = g.geographic;
        grid_.epsg = g.epsg;
        // The lattice is anchored at the first grid's first point.
        anchorWest_ = g.west;
        anchorNorth_ = g.north;
    } else {
        if (g.geographic != grid_.geographic) return refuse("Grad und Meter gemischt");
        if (g.epsg != 0 && grid_.epsg != 0 && g.epsg != grid_.epsg)
            return refuse(formatText("EPSG %d und %d", g.epsg, grid_.epsg));
        if (!sameStep(g.stepX, grid_.stepX) || !sameStep(g.stepY, grid_.stepY))
            return refuse(formatText("Rasterweite %g x %g statt %g x %g", g.stepX, g.stepY,
                                     grid_.stepX, grid_.stepY));
    }
    // The lattice position of the input's first point.
    long long col0 = 0, row0 = 0;
    if (!onLattice(g.west - anchorWest_, grid_.stepX, col0) ||
        !onLattice(anchorNorth_ - g.north, grid_.stepY, row0))
        return refuse("Raster gegeneinander verschoben");

    Input in{name, col0, col0 + static_cast<long long>(g.columns), row0,
             row0 + static_cast<long long>(g.rows)}; // [from, to)
    if (cut_) {
        const double xMin = std::min(cut_->x1, cut_->x2), xMax = std::max(cut_->x1, cut_->x2);
        const double yMin = std::min(cut_->y1, cut_->y2), yMax = std::max(cut_->y1, cut_->y2);
        const double e = 1e-6;
        in.columnFrom = std::max(in.columnFrom,
                                 clampedIndex(std::ceil((xMin - anchorWest_) / grid_.stepX - e)));
        in.columnTo = std::min(
            in.columnTo, clampedIndex(std::floor((xMax - anchorWest_) / grid_.stepX + e)) + 1);
        in.rowFrom =
            std::max(in.rowFrom, clampedIndex(std::ceil((anchorNorth_ - yMax) / grid_.stepY - e)));
        in.rowTo = std::min(in.rowTo,
                            clampedIndex(std::floor((anchorNorth_ - yMin) / grid_.stepY + e)) + 1);
    }
    if (in.columnFrom >= in.columnTo || in.rowFrom >= in.rowTo) { // outside the cut
        if (grid_.epsg == 0) grid_.epsg = g.epsg;
        return accept();
    }

    // The joined grid's extent, checked before anything of its size exists.
    // The indices lie within ±4e15 and an input's size: nothing below
    // overflows.
    long long cFrom = in.columnFrom, cTo = in.columnTo, rFrom = in.rowFrom, rTo = in.rowTo;
    if (!grid_.empty()) {
        cFrom = std::min(cFrom, firstColumn_);
        cTo = std::max(cTo, firstColumn_ + static_cast<long long>(grid_.columns));
        rFrom = std::min(rFrom, firstRow_);
        rTo = std::max(rTo, firstRow_ + static_cast<long long>(grid_.rows.size()));
    }
    const long long width = cTo - cFrom, height = rTo - rFrom;
    if (width > static_cast<long long>(MaxMosaicSide) ||
        height > static_cast<long long>(MaxMosaicSide) ||
        width * height > static_cast<long long>(MaxGridPoints)) {
        started_ = !first; // a refused first input fixes no lattice
        return refuseSize(in, width, height);
    }
    if (grid_.epsg == 0) grid_.epsg = g.epsg;

    if (grid_.empty()) {
        firstColumn_ = cFrom;
        firstRow_ = rFrom;
        grid_.columns = static_cast<std::size_t>(width);
        grid_.rows.assign(static_cast<std::size_t>(height),
                          std::vector<float>(grid_.columns, NoData));
        grid_.west = anchorWest_ + static_cast<double>(cFrom) * grid_.stepX;
        grid_.north = anchorNorth_ - static_cast<double>(rFrom) * grid_.stepY;
    } else {
        if (cFrom != firstColumn_ || width != static_cast<long long>(grid_.columns)) {
            // Wider: one row at a time, so the old and the new grid never
            // exist side by side.
            const auto shift = static_cast<std::size_t>(firstColumn_ - cFrom);
            for (std::vector<float>& row : grid_.rows) {
                std::vector<float> wide(static_cast<std::size_t>(width), NoData);
                std::copy(row.begin(), row.end(),
                          wide.begin() + static_cast<std::ptrdiff_t>(shift));
                row.swap(wide);
            }
            grid_.columns = static_cast<std::size_t>(width);
            grid_.west = anchorWest_ + static_cast<double>(cFrom) * grid_.stepX;
            firstColumn_ = cFrom;
        }
        if (rFrom < firstRow_) {
            grid_.rows.insert(grid_.rows.begin(), static_cast<std::size_t>(firstRow_ - rFrom),
                              std::vector<float>(grid_.columns, NoData));
            grid_.north = anchorNorth_ - static_cast<double>(rFrom) * grid_.stepY;
            firstRow_ = rFrom;
        }
        grid_.rows.resize(static_cast<std::size_t>(height),
                          std::vector<float>(grid_.columns, NoData));
    }

    for (long long r = in.rowFrom; r < in.rowTo; ++r) {
        const float* src = g.heights.data() + static_cast<std::size_t>(r - row0) * g.columns +
                           static_cast<std::size_t>(in.columnFrom - col0);
        float* dst = grid_.rows[static_cast<std::size_t>(r - firstRow_)].data() +
                     static_cast<std::size_t>(in.columnFrom - firstColumn_);
        for (long long c = 0; c < in.columnTo - in.columnFrom; ++c) {
            if (std::isnan(dst[c])) {
                dst[c] = src[c];
            } else if (!std::isnan(src[c])) {
                const double d = std::fabs(static_cast<double>(dst[c]) - src[c]);
                if (d > OverlapTolerance) {
                    ++overlaps_.points;
                    overlaps_.largest = std::max(overlaps_.largest, d);
                }
            }
        }
    }
    inputPoints_ += static_cast<double>(in.columnTo - in.columnFrom) *
                    static_cast<double>(in.rowTo - in.rowFrom);
    inputs_.push_back(std::move(in));
    return accept();
}

RowGrid Mosaic::take() {
    RowGrid out = std::move(grid_);
    grid_ = RowGrid{};
    started_ = false;
    firstColumn_ = firstRow_ = 0;
    inputs_.clear();
    inputPoints_ = 0.0;
    return out;
}

namespace {

// The bits fillHoles keeps per point.
enum : std::uint8_t {
    Valid = 1,  // a height from the inputs
    Across = 2, // a valid point within the distance in its row
    Near = 4,   // a valid point within the distance (chessboard)
    Seen = 8,   // taken into a hole's wave
    Flat = 16,  // filled flat
};

// Rows and columns without any valid height cut off the border. False
// when there is no valid height at all.
bool cutEmptyBorder(RowGrid& grid, FillReport& report) {
    const std::size_t cols = grid.columns, rows = grid.rows.size();
    std::size_t top = rows, bottom = 0, left = cols, right = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::vector<float>& row = grid.rows[r];
        std::size_t first = 0;
        while (first < cols && std::isnan(row[first]))
            ++first;
        if (first == cols) continue;
        std::size_t last = cols - 1;
        while (std::isnan(row[last]))
            --last;
        top = std::min(top, r);
        bottom = r;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (top == rows) return false;
    report.cutNorth = top, report.cutSouth = rows - 1 - bottom;
    report.cutWest = left, report.cutEast = cols - 1 - right;
    grid.rows.erase(grid.rows.begin() + static_cast<std::ptrdiff_t>(bottom + 1), grid.rows.end());
    grid.rows.erase(grid.rows.begin(), grid.rows.begin() + static_cast<std::ptrdiff_t>(top));
    if (left > 0 || right + 1 < cols)
        for (std::vector<float>& row : grid.rows) {
            row.erase(row.begin() + static_cast<std::ptrdiff_t>(right + 1), row.end());
            row.erase(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(left));
            row.shrink_to_fit();
        }
    grid.columns = right + 1 - left;
    grid.west += static_cast<double>(left) * grid.stepX;
    grid.north -= static_cast<double>(top) * grid.stepY;
    return true;
}

// Marks Near every point with a valid point at most `reach` steps away in
// both directions: the square around it, as a run along the row (Across)
// and then along the column, each a sliding count, so the time does not
// depend on the reach.
void markNear(const std::size_t cols, const std::size_t rows, const std::size_t reach,
              std::vector<std::uint8_t>& state) {
    for (std::size_t r = 0; r < rows; ++r) {
        std::uint8_t* s = state.data() + r * cols;
        std::size_t count = 0; // valid points in [c - reach, c + reach]
        for (std::size_t c = 0; c <= reach && c < cols; ++c)
            count += s[c] & Valid;
        for (std::size_t c = 0; c < cols; ++c) {
            if (count > 0) s[c] |= Across;
            if (c + reach + 1 < cols) count += s[c + reach + 1] & Valid;
            if (c >= reach) count -= s[c - reach] & Valid;
        }
    }
    std::vector<std::size_t> counts(cols, 0); // Across points in [r - reach, r + reach]
    auto addRow = [&](std::size_t r, bool add) {
        const std::uint8_t* s = state.data() + r * cols;
        for (std::size_t c = 0; c < cols; ++c)
            if (s[c] & Across) add ? ++counts[c] : --counts[c];
    };
    for (std::size_t r = 0; r <= reach && r < rows; ++r)
        addRow(r, true);
    for (std::size_t r = 0; r < rows; ++r) {
        std::uint8_t* s = state.data() + r * cols;
        for (std::size_t c = 0; c < cols; ++c)
            if (counts[c] > 0) s[c] |= Near;
        if (r + reach + 1 < rows) addRow(r + reach + 1, true);
        if (r >= reach) addRow(r - reach, false);
    }
}

} // namespace

FillReport fillHoles(RowGrid& grid, int smallHoleSteps) {
    FillReport report;
    if (grid.empty() || !cutEmptyBorder(grid, report)) return report;
    report.anyValid = true;
    const std::size_t cols = grid.columns, rows = grid.rows.size();
    report.points = cols * rows;

    const bool anyHole = std::any_of(grid.rows.begin(), grid.rows.end(), [](const auto& row) {
        return std::any_of(row.begin(), row.end(), [](float v) { return std::isnan(v); });
    });
    if (!anyHole) return report;
    std::vector<std::uint8_t> state(cols * rows, 0);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < cols; ++c)
            if (!std::isnan(grid.rows[r][c])) state[r * cols + c] = Valid;
    markNear(cols, rows,
             std::min(static_cast<std::size_t>(std::max(smallHoleSteps, 0)), std::max(cols, rows)),
             state);

    // The eight neighbours of a point inside the grid, by index, row and
    // column (the waves keep indices; a division per point, not per
    // neighbour).
    auto forNeighbours = [&](std::size_t i, auto&& visit) {
        const std::size_t r = i / cols, c = i % cols;
        const std::size_t r0 = r > 0 ? r - 1 : 0, r1 = std::min(r + 1, rows - 1);
        const std::size_t c0 = c > 0 ? c - 1 : 0, c1 = std::min(c + 1, cols - 1);
        for (std::size_t rr = r0; rr <= r1; ++rr)
            for (std::size_t cc = c0; cc <= c1; ++cc)
                if (rr != r || cc != c) visit(rr * cols + cc, rr, cc);
    };
    std::size_t firstRow = rows, lastRow = 0, firstColumn = cols, lastColumn = 0;
    auto fill = [&](std::size_t r, std::size_t c, float height) {
        grid.rows[r][c] = height;
        firstRow = std::min(firstRow, r);
        lastRow = std::max(lastRow, r);
        firstColumn = std::min(firstColumn, c);
        lastColumn = std::max(lastColumn, c);
    };

    // Large holes: a wave from a point far from data through its hole finds
    // the lowest height on the rim, a second one fills the hole with it.
    // The waves hold their front only, not the hole.
    std::vector<std::size_t> ring, next;
    for (std::size_t seed = 0; seed < cols * rows; ++seed) {
        if (state[seed] & (Valid | Near | Seen)) continue;
        float low = std::numeric_limits<float>::infinity();
        state[seed] |= Seen;
        ring.assign(1, seed);
        while (!ring.empty()) {
            next.clear();
            for (std::size_t i : ring)
                forNeighbours(i, [&](std::size_t n, std::size_t r, std::size_t c) {
                    if (state[n] & Valid) {
                        low = std::min(low, grid.rows[r][c]);
                    } else if (!(state[n] & Seen)) {
                        state[n] |= Seen;
                        next.push_back(n);
                    }
                });
            ring.swap(next);
        }
        state[seed] |= Flat;
        fill(seed / cols, seed % cols, low);
        ring.assign(1, seed);
        while (!ring.empty()) {
            next.clear();
            for (std::size_t i : ring)
                forNeighbours(i, [&](std::size_t n, std::size_t r, std::size_t c) {
                    if (state[n] & (Valid | Flat)) return;
                    state[n] |= Flat;
                    fill(r, c, low);
                    next.push_back(n);
                });
            report.flat += static_cast<long long>(ring.size());
            ring.swap(next);
        }
    }

    // Small holes, ring by ring inward from their shore: the points neither
    // valid nor flat, none of them Seen yet.
    auto open = [&](std::size_t i) { return !(state[i] & (Valid | Flat)); };
    ring.clear();
    for (std::size_t i = 0; i < cols * rows; ++i) {
        if (!open(i)) continue;
        bool shore = false;
        forNeighbours(i, [&](std::size_t n, std::size_t, std::size_t) {
            shore = shore || (state[n] & Valid);
        });
        if (shore) {
            state[i] |= Seen;
            ring.push_back(i);
        }
    }
    std::vector<float> values;
    while (!ring.empty()) {
        // Every point of a ring takes the mean of the heights around it as
        // they were before the ring, so the order within it does not matter.
        values.resize(ring.size());
        for (std::size_t k = 0; k < ring.size(); ++k) {
            double sum = 0.0;
            int n = 0;
            forNeighbours(ring[k], [&](std::size_t, std::size_t r, std::size_t c) {
                const float v = grid.rows[r][c];
                if (!std::isnan(v)) sum += v, ++n;
            });
            values[k] = static_cast<float>(sum / n);
        }
        for (std::size_t k = 0; k < ring.size(); ++k)
            fill(ring[k] / cols, ring[k] % cols, values[k]);
        report.interpolated += static_cast<long long>(ring.size());
        next.clear();
        for (std::size_t i : ring)
            forNeighbours(i, [&](std::size_t n, std::size_t, std::size_t) {
                if (open(n) && !(state[n] & Seen)) {
                    state[n] |= Seen;
                    next.push_back(n);
                }
            });
        ring.swap(next);
    }

    if (report.filled() > 0) {
        report.filledFirstColumn = firstColumn, report.filledLastColumn = lastColumn;
        report.filledFirstRow = firstRow, report.filledLastRow = lastRow;
        report.filledArea = {grid.west + static_cast<double>(firstColumn) * grid.stepX,
                             grid.north - static_cast<double>(firstRow) * grid.stepY,
                             grid.west + static_cast<double>(lastColumn) * grid.stepX,
                             grid.north - static_cast<double>(lastRow) * grid.stepY};
    }
    return report;
}

HeightRange heightRange(const RowGrid& grid) {
    HeightRange range{std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity()};
    for (const std::vector<float>& row : grid.rows)
        for (float v : row) {
            if (std::isnan(v)) continue;
            range.low = std::min(range.low, static_cast<double>(v));
            range.high = std::max(range.high, static_cast<double>(v));
        }
    if (range.low > range.high) range = HeightRange{};
    return range;
}

MetricFrame metricFrameFor(const RowGrid& grid) {
    MetricFrame frame;
    if (!grid.geographic || grid.empty()) return frame;
    frame.fromDegrees = true;
    frame.lon0 = grid.west + static_cast<double>(grid.columns - 1) * grid.stepX / 2.0;
    frame.lat0 = grid.north - static_cast<double>(grid.rows.size() - 1) * grid.stepY / 2.0;
    // The WGS 84 ellipsoid's radii of curvature at the centre's latitude:
    // along the meridian (north-south) and across it (east-west, times the
    // cosine for the circle of latitude).
    const double a = 6378137.0, f = 1.0 / 298.257223563, e2 = f * (2.0 - f);
    const double phi = frame.lat0 * std::numbers::pi / 180.0;
    const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
    const double meridian = a * (1.0 - e2) / (w * std::sqrt(w));
    const double normal = a / std::sqrt(w);
    frame.metresPerDegreeY = meridian * std::numbers::pi / 180.0;
    frame.metresPerDegreeX = normal * std::cos(phi) * std::numbers::pi / 180.0;
    return frame;
}

std::int32_t naturalStepCm(const RowGrid& grid, const MetricFrame& frame) {
    double metres = std::min(grid.stepX, grid.stepY);
    if (frame.fromDegrees)
        metres =
            std::sqrt(grid.stepX * frame.metresPerDegreeX * grid.stepY * frame.metresPerDegreeY);
    const double cm = std::round(metres * 100.0);
    return cm < 1.0 ? 1 : cm > 1e9 ? 1000000000 : static_cast<std::int32_t>(cm);
}

namespace {

// Where one target line (a column or a row) takes its values from in the
// source: two points and the share of the second (bilinear), or a run of
// points with the shares of its first and last (mean over the cell; the
// points between count whole).
struct Span {
    std::size_t from = 0;
    std::size_t to = 0;
    double weightFrom = 1.0;
    double weightTo = 1.0;
    double weight(std::size_t i) const { return i == from ? weightFrom : i == to ? weightTo : 1.0; }
};

// position: the target point in source index units; half: half a target
// cell in the same units (0 = bilinear).
Span spanAt(double position, double half, std::size_t count) {
    Span s;
    const double last = static_cast<double>(count - 1);
    if (half <= 0.0) {
        const double p = std::clamp(position, 0.0, last);
        s.from = static_cast<std::size_t>(std::floor(p));
        s.to = std::min(s.from + 1, count - 1);
        s.weightTo = p - static_cast<double>(s.from);
        s.weightFrom = 1.0 - s.weightTo;
        if (s.from == s.to) s.weightFrom = 1.0;
        return s;
    }
    // Each source point stands for the cell [i - 0.5, i + 0.5]; it counts
    // with the part of it that lies in the target cell [a, b]. A symmetric
    // cell keeps the mean of a plane at the plane's value.
    const double a = position - half, b = position + half;
    const double lo = std::clamp(std::floor(a + 0.5), 0.0, last);
    const double hi = std::clamp(std::ceil(b - 0.5), 0.0, last);
    s.from = static_cast<std::size_t>(lo);
    s.to = static_cast<std::size_t>(std::max(lo, hi));
    auto overlap = [&](double i) {
        return std::max(0.0, std::min(b, i + 0.5) - std::max(a, i - 0.5));
    };
    s.weightFrom = overlap(static_cast<double>(s.from));
    s.weightTo = overlap(static_cast<double>(s.to));
    return s;
}

} // namespace

namespace {

// The metric extent of a grid: its first and last column and row in the
// frame's metres.
struct MetricExtent {
    double west, east, south, north;
};
MetricExtent metricExtent(const RowGrid& grid, const MetricFrame& frame) {
    return {frame.toMetricX(grid.west),
            frame.toMetricX(grid.west + static_cast<double>(grid.columns - 1) * grid.stepX),
            frame.toMetricY(grid.north - static_cast<double>(grid.rows.size() - 1) * grid.stepY),
            frame.toMetricY(grid.north)};
}

// Points over a length at the step, as the resampler places them.
double pointsOver(double length, double step) {
    return std::floor(length / step + 1e-6) + 1.0;
}

// A count for a message: saturated where it leaves the integers.
unsigned long long countForMessage(double n) {
    return n >= 0.0 && n < 1.8e19 ? static_cast<unsigned long long>(n) : ULLONG_MAX;
}

} // namespace

bool MetricSize::fits() const {
    const double side = static_cast<double>(MaxTerrainSide);
    return columns >= 1.0 && rows >= 1.0 && columns <= side && rows <= side &&
           columns * rows <= static_cast<double>(MaxGridPoints);
}

MetricSize metricGridSize(const RowGrid& grid, const MetricFrame& frame, double step) {
    if (grid.empty()) return {};
    const MetricExtent e = metricExtent(grid, frame);
    return {pointsOver(e.east - e.west, step), pointsOver(e.north - e.south, step)};
}

std::int64_t finestFittingStepCm(const RowGrid& grid, const MetricFrame& frame) {
    auto fits = [&](std::int64_t cm) {
        return metricGridSize(grid, frame, static_cast<double>(cm) / 100.0).fits();
    };
    // The counts shrink as the step grows, so the finest step is a bisection
    // away from any that fits. A first guess: each side at most
    // MaxTerrainSide points (w / s + 1 <= side) and both at most
    // MaxGridPoints together ((w / s + 1)(h / s + 1) = n, a quadratic in
    // 1 / s); the resampler's rounding may fit a little finer or want more.
    const MetricExtent e = metricExtent(grid, frame);
    const double w = e.east - e.west, h = e.north - e.south;
    const double side = static_cast<double>(MaxTerrainSide);
    const double n = static_cast<double>(MaxGridPoints);
    const double guess = std::max(std::max(w, h) / (side - 1.0),
                                  (w + h + std::sqrt((w + h) * (w + h) + 4.0 * w * h * (n - 1.0))) /
                                      (2.0 * (n - 1.0)));
    if (!(guess >= 0.0 && guess < 1e13)) return 0; // beyond any step (or NaN)
    std::int64_t high = static_cast<std::int64_t>(guess * 100.0) + 2;
    while (!fits(high))
        if ((high *= 2) > 4'000'000'000'000'000) return 0;
    std::int64_t low = 0; // never fits
    while (high - low > 1) {
        const std::int64_t mid = low + (high - low) / 2;
        (fits(mid) ? high : low) = mid;
    }
    return high;
}

bool metricGridFits(const RowGrid& grid, const MetricFrame& frame, double step) {
    const MetricSize size = metricGridSize(grid, frame, step);
    if (grid.empty() || size.fits()) return true;
    const std::string limits =
        formatText("%llu x %llu Punkte (hoechstens %llu je Seite, %llu insgesamt)",
                   countForMessage(size.columns), countForMessage(size.rows),
                   static_cast<unsigned long long>(MaxTerrainSide),
                   static_cast<unsigned long long>(MaxGridPoints));
    const std::int64_t cm = finestFittingStepCm(grid, frame);
    if (cm > 0)
        report("Gelaende zu gross: %s; mit --raster %.2f passt es!\n", limits.c_str(),
               static_cast<double>(cm) / 100.0);
    else
        report("Gelaende zu gross: %s!\n", limits.c_str());
    return false;
}

RowGrid resampleToMetric(RowGrid&& source, const MetricFrame& frame, double step) {
    if (source.empty() || !(step > 0.0)) return RowGrid{};
    const MetricSize size = metricGridSize(source, frame, step);
    if (!size.fits()) return RowGrid{};
    if (!frame.fromDegrees && sameStep(source.stepX, step) && sameStep(source.stepY, step))
        return std::move(source);

    const MetricExtent extent = metricExtent(source, frame);
    RowGrid out;
    out.columns = static_cast<std::size_t>(size.columns);
    const auto rows = static_cast<std::size_t>(size.rows);
    out.west = extent.west;
    out.north = extent.north;
    out.stepX = out.stepY = step;
    out.epsg = frame.fromDegrees ? 0 : source.epsg;

    // The source spacing in metres decides, per axis, between the bilinear
    // interpolation and the mean over the cell.
    const double srcStepX = source.stepX * (frame.fromDegrees ? frame.metresPerDegreeX : 1.0);
    const double srcStepY = source.stepY * (frame.fromDegrees ? frame.metresPerDegreeY : 1.0);
    const bool coarser =
        step > srcStepX * (1.0 + StepTolerance) || step > srcStepY * (1.0 + StepTolerance);
    const double halfX = coarser ? step / srcStepX / 2.0 : 0.0;
    const double halfY = coarser ? step / srcStepY / 2.0 : 0.0;

    std::vector<Span> columnSpans(out.columns);
    for (std::size_t c = 0; c < out.columns; ++c) {
        const double x = frame.toInputX(out.west + static_cast<double>(c) * step);
        columnSpans[c] = spanAt((x - source.west) / source.stepX, halfX, source.columns);
    }
    out.rows.reserve(rows);
    std::size_t freedBelow = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        const double y = frame.toInputY(out.north - static_cast<double>(r) * step);
        const Span rs = spanAt((source.north - y) / source.stepY, halfY, source.rows.size());
        // Rows north of this span are behind the work for good.
        for (; freedBelow < rs.from; ++freedBelow)
            freeRow(source.rows[freedBelow]);
        std::vector<float> row(out.columns, NoData);
        for (std::size_t c = 0; c < out.columns; ++c) {
            const Span& cs = columnSpans[c];
            double sum = 0.0, weights = 0.0;
            auto take = [&](std::size_t sr, std::size_t sc, double w) {
                const float v = source.rows[sr][sc];
                if (w > 0.0 && !std::isnan(v)) sum += w * v, weights += w;
            };
            if (coarser) {
                for (std::size_t sr = rs.from; sr <= rs.to; ++sr)
                    for (std::size_t sc = cs.from; sc <= cs.to; ++sc)
                        take(sr, sc, rs.weight(sr) * cs.weight(sc));
            } else {
                take(rs.from, cs.from, rs.weightFrom * cs.weightFrom);
                if (cs.to != cs.from) take(rs.from, cs.to, rs.weightFrom * cs.weightTo);
                if (rs.to != rs.from) take(rs.to, cs.from, rs.weightTo * cs.weightFrom);
                if (rs.to != rs.from && cs.to != cs.from)
                    take(rs.to, cs.to, rs.weightTo * cs.weightTo);
            }
            if (weights > 0.0) row[c] = static_cast<float>(sum / weights);
        }
        out.rows.push_back(std::move(row));
    }
    source = RowGrid{};
    return out;
}
