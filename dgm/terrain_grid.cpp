#include "dgm/terrain_grid.h"

#include "common/message.h"

#include <algorithm>
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

} // namespace

Mosaic::Mosaic(std::optional<Area> cut) : cut_(cut) {}

bool Mosaic::add(ElevationGrid& g, const std::string& name) {
    if (g.columns == 0 || g.rows == 0 || !(g.stepX > 0.0) || !(g.stepY > 0.0)) {
        std::vector<float>().swap(g.heights);
        return true;
    }
    auto refuse = [&](const std::string& why) {
        report("%s passt nicht zu %s (%s)!\n", name.c_str(), firstName_.c_str(), why.c_str());
        return false;
    };
    if (!started_) {
        started_ = true;
        firstName_ = name;
        grid_.stepX = g.stepX;
        grid_.stepY = g.stepY;
        grid_.geographic = g.geographic;
        grid_.epsg = g.epsg;
        // The lattice is anchored at the first grid's first point.
        grid_.west = g.west;
        grid_.north = g.north;
    } else {
        if (g.geographic != grid_.geographic) return refuse("Grad und Meter gemischt");
        if (g.epsg != 0 && grid_.epsg != 0 && g.epsg != grid_.epsg)
            return refuse(formatText("EPSG %d und %d", g.epsg, grid_.epsg));
        if (!sameStep(g.stepX, grid_.stepX) || !sameStep(g.stepY, grid_.stepY))
            return refuse(formatText("Rasterweite %g x %g statt %g x %g", g.stepX, g.stepY,
                                     grid_.stepX, grid_.stepY));
        if (grid_.epsg == 0) grid_.epsg = g.epsg;
    }
    // The lattice position of the input's first point; the anchor stays the
    // first input's first point, whatever the mosaic holds now.
    const double anchorWest = grid_.west - static_cast<double>(firstColumn_) * grid_.stepX;
    const double anchorNorth = grid_.north + static_cast<double>(firstRow_) * grid_.stepY;
    long long col0 = 0, row0 = 0;
    if (!onLattice(g.west - anchorWest, grid_.stepX, col0) ||
        !onLattice(anchorNorth - g.north, grid_.stepY, row0))
        return refuse("Raster gegeneinander verschoben");

    long long cFrom = col0, cTo = col0 + static_cast<long long>(g.columns); // [from, to)
    long long rFrom = row0, rTo = row0 + static_cast<long long>(g.rows);
    if (cut_) {
        const double xMin = std::min(cut_->x1, cut_->x2), xMax = std::max(cut_->x1, cut_->x2);
        const double yMin = std::min(cut_->y1, cut_->y2), yMax = std::max(cut_->y1, cut_->y2);
        const double e = 1e-6;
        const auto lo = static_cast<long long>(std::ceil((xMin - anchorWest) / grid_.stepX - e));
        const auto hi = static_cast<long long>(std::floor((xMax - anchorWest) / grid_.stepX + e));
        const auto top = static_cast<long long>(std::ceil((anchorNorth - yMax) / grid_.stepY - e));
        const auto bottom =
            static_cast<long long>(std::floor((anchorNorth - yMin) / grid_.stepY + e));
        cFrom = std::max(cFrom, lo);
        cTo = std::min(cTo, hi + 1);
        rFrom = std::max(rFrom, top);
        rTo = std::min(rTo, bottom + 1);
    }
    if (cFrom >= cTo || rFrom >= rTo) { // nothing of it inside the cut
        std::vector<float>().swap(g.heights);
        return true;
    }

    if (grid_.empty()) {
        firstColumn_ = cFrom;
        firstRow_ = rFrom;
        grid_.columns = static_cast<std::size_t>(cTo - cFrom);
        grid_.rows.assign(static_cast<std::size_t>(rTo - rFrom),
                          std::vector<float>(grid_.columns, NoData));
        grid_.west = anchorWest + static_cast<double>(cFrom) * grid_.stepX;
        grid_.north = anchorNorth - static_cast<double>(rFrom) * grid_.stepY;
    } else {
        const long long oldTo = firstColumn_ + static_cast<long long>(grid_.columns);
        const long long newFrom = std::min(firstColumn_, cFrom);
        const long long newTo = std::max(oldTo, cTo);
        if (newFrom != firstColumn_ || newTo != oldTo) {
            // Wider: one row at a time, so the old and the new grid never
            // exist side by side.
            const auto width = static_cast<std::size_t>(newTo - newFrom);
            const auto shift = static_cast<std::size_t>(firstColumn_ - newFrom);
            for (std::vector<float>& row : grid_.rows) {
                std::vector<float> wide(width, NoData);
                std::copy(row.begin(), row.end(),
                          wide.begin() + static_cast<std::ptrdiff_t>(shift));
                row.swap(wide);
            }
            grid_.columns = width;
            grid_.west -= static_cast<double>(firstColumn_ - newFrom) * grid_.stepX;
            firstColumn_ = newFrom;
        }
        if (rFrom < firstRow_) {
            grid_.rows.insert(grid_.rows.begin(), static_cast<std::size_t>(firstRow_ - rFrom),
                              std::vector<float>(grid_.columns, NoData));
            grid_.north += static_cast<double>(firstRow_ - rFrom) * grid_.stepY;
            firstRow_ = rFrom;
        }
        const long long rowsTo = firstRow_ + static_cast<long long>(grid_.rows.size());
        if (rTo > rowsTo)
            grid_.rows.resize(grid_.rows.size() + static_cast<std::size_t>(rTo - rowsTo),
                              std::vector<float>(grid_.columns, NoData));
    }

    for (long long r = rFrom; r < rTo; ++r) {
        const float* src = g.heights.data() + static_cast<std::size_t>(r - row0) * g.columns +
                           static_cast<std::size_t>(cFrom - col0);
        float* dst = grid_.rows[static_cast<std::size_t>(r - firstRow_)].data() +
                     static_cast<std::size_t>(cFrom - firstColumn_);
        for (long long c = 0; c < cTo - cFrom; ++c)
            if (std::isnan(dst[c])) dst[c] = src[c];
    }
    std::vector<float>().swap(g.heights);
    return true;
}

RowGrid Mosaic::take() {
    RowGrid out = std::move(grid_);
    grid_ = RowGrid{};
    started_ = false;
    return out;
}

long long fillHoles(RowGrid& grid) {
    const std::size_t cols = grid.columns, rows = grid.rows.size();
    if (cols == 0 || rows == 0) return -1;
    auto at = [&](std::size_t r, std::size_t c) -> float& { return grid.rows[r][c]; };
    std::size_t valid = 0;
    for (const std::vector<float>& row : grid.rows)
        for (float v : row)
            valid += std::isnan(v) ? 0 : 1;
    if (valid == 0) return -1;
    if (valid == cols * rows) return 0;

    // The eight neighbours of a point inside the grid.
    auto forNeighbours = [&](std::size_t r, std::size_t c, auto&& visit) {
        const std::size_t r0 = r > 0 ? r - 1 : 0, r1 = std::min(r + 1, rows - 1);
        const std::size_t c0 = c > 0 ? c - 1 : 0, c1 = std::min(c + 1, cols - 1);
        for (std::size_t rr = r0; rr <= r1; ++rr)
            for (std::size_t cc = c0; cc <= c1; ++cc)
                if (rr != r || cc != c) visit(rr, cc);
    };
    std::vector<bool> queued(cols * rows, false);
    std::vector<std::size_t> ring;
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < cols; ++c) {
            if (!std::isnan(at(r, c))) continue;
            bool shore = false;
            forNeighbours(r, c, [&](std::size_t rr, std::size_t cc) {
                shore = shore || !std::isnan(at(rr, cc));
            });
            if (shore) {
                queued[r * cols + c] = true;
                ring.push_back(r * cols + c);
            }
        }

    long long filled = 0;
    std::vector<float> values;
    std::vector<std::size_t> next;
    while (!ring.empty()) {
        // Every point of a ring takes the mean of the heights around it as
        // they were before the ring, so the order within it does not matter.
        values.resize(ring.size());
        for (std::size_t k = 0; k < ring.size(); ++k) {
            double sum = 0.0;
            int n = 0;
            forNeighbours(ring[k] / cols, ring[k] % cols, [&](std::size_t rr, std::size_t cc) {
                const float v = at(rr, cc);
                if (!std::isnan(v)) sum += v, ++n;
            });
            values[k] = static_cast<float>(sum / n);
        }
        for (std::size_t k = 0; k < ring.size(); ++k)
            at(ring[k] / cols, ring[k] % cols) = values[k];
        filled += static_cast<long long>(ring.size());
        next.clear();
        for (std::size_t i : ring)
            forNeighbours(i / cols, i % cols, [&](std::size_t rr, std::size_t cc) {
                if (std::isnan(at(rr, cc)) && !queued[rr * cols + cc]) {
                    queued[rr * cols + cc] = true;
                    next.push_back(rr * cols + cc);
                }
            });
        ring.swap(next);
    }
    return filled;
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

RowGrid resampleToMetric(RowGrid&& source, const MetricFrame& frame, double step) {
    if (source.empty() || !(step > 0.0)) return RowGrid{};
    if (!frame.fromDegrees && sameStep(source.stepX, step) && sameStep(source.stepY, step))
        return std::move(source);

    const double mx0 = frame.toMetricX(source.west);
    const double mx1 =
        frame.toMetricX(source.west + static_cast<double>(source.columns - 1) * source.stepX);
    const double my1 = frame.toMetricY(source.north);
    const double my0 =
        frame.toMetricY(source.north - static_cast<double>(source.rows.size() - 1) * source.stepY);
    RowGrid out;
    out.columns = static_cast<std::size_t>(std::floor((mx1 - mx0) / step + 1e-6)) + 1;
    const std::size_t rows = static_cast<std::size_t>(std::floor((my1 - my0) / step + 1e-6)) + 1;
    out.west = mx0;
    out.north = my1;
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
