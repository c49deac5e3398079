#include "dgm/reproject.h"

#include "common/message.h"
#include "dgm/reader_support.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::size_t nodesFor(std::size_t points, std::size_t spacing) {
    return points == 0 ? 0 : (points - 1 + spacing - 1) / spacing + 1;
}

// The lattice cell of index `i` along an axis of `points` points: the node
// index before it and the weight of the node after it.
void cellOf(std::size_t i, std::size_t points, std::size_t spacing, std::size_t nodes,
            std::size_t& node, double& t) {
    if (nodes < 2) {
        node = 0;
        t = 0.0;
        return;
    }
    node = std::min(i / spacing, nodes - 2);
    const std::size_t from = node * spacing;
    const std::size_t to = std::min(from + spacing, points - 1);
    t = static_cast<double>(i - from) / static_cast<double>(to - from);
}

} // namespace

double LatticeMapping::nodeCoordinate(std::size_t index, std::size_t last) const {
    return static_cast<double>(std::min(index * spacing_, last));
}

LatticeMapping::LatticeMapping(const CoordinateTransform& transform, const GridFrame& frame,
                               std::size_t spacing)
    : frame_(frame), spacing_(std::max<std::size_t>(spacing, 1)) {
    nodeColumns_ = nodesFor(frame.columns, spacing_);
    nodeRows_ = nodesFor(frame.rows, spacing_);
    xs_.resize(nodeColumns_ * nodeRows_);
    ys_.resize(nodeColumns_ * nodeRows_);
    for (std::size_t j = 0; j < nodeRows_; ++j)
        for (std::size_t i = 0; i < nodeColumns_; ++i) {
            double x = frame.west + nodeCoordinate(i, frame.columns - 1) * frame.stepX;
            double y = frame.north - nodeCoordinate(j, frame.rows - 1) * frame.stepY;
            if (!transform.apply(x, y)) x = y = NaN;
            xs_[j * nodeColumns_ + i] = x;
            ys_[j * nodeColumns_ + i] = y;
        }
}

void LatticeMapping::row(std::size_t r, std::vector<double>& xs, std::vector<double>& ys) const {
    xs.assign(frame_.columns, NaN);
    ys.assign(frame_.columns, NaN);
    if (nodeColumns_ == 0 || r >= frame_.rows) return;
    std::size_t j = 0;
    double v = 0.0;
    cellOf(r, frame_.rows, spacing_, nodeRows_, j, v);
    // The nodes' columns interpolated to this row first, then along it.
    std::vector<double> nx(nodeColumns_), ny(nodeColumns_);
    const std::size_t below = nodeRows_ > 1 ? j + 1 : j;
    for (std::size_t i = 0; i < nodeColumns_; ++i) {
        const double* a = &xs_[j * nodeColumns_ + i];
        const double* b = &xs_[below * nodeColumns_ + i];
        nx[i] = *a + (*b - *a) * v;
        a = &ys_[j * nodeColumns_ + i];
        b = &ys_[below * nodeColumns_ + i];
        ny[i] = *a + (*b - *a) * v;
    }
    for (std::size_t c = 0; c < frame_.columns; ++c) {
        std::size_t i = 0;
        double u = 0.0;
        cellOf(c, frame_.columns, spacing_, nodeColumns_, i, u);
        const std::size_t next = nodeColumns_ > 1 ? i + 1 : i;
        xs[c] = nx[i] + (nx[next] - nx[i]) * u;
        ys[c] = ny[i] + (ny[next] - ny[i]) * u;
    }
}

void LatticeMapping::point(std::size_t c, std::size_t r, double& x, double& y) const {
    x = y = NaN;
    if (c >= frame_.columns || r >= frame_.rows) return;
    std::size_t i = 0, j = 0;
    double u = 0.0, v = 0.0;
    cellOf(c, frame_.columns, spacing_, nodeColumns_, i, u);
    cellOf(r, frame_.rows, spacing_, nodeRows_, j, v);
    const std::size_t i1 = nodeColumns_ > 1 ? i + 1 : i, j1 = nodeRows_ > 1 ? j + 1 : j;
    auto at = [&](const std::vector<double>& n) {
        const double top = n[j * nodeColumns_ + i] * (1 - u) + n[j * nodeColumns_ + i1] * u;
        const double bottom = n[j1 * nodeColumns_ + i] * (1 - u) + n[j1 * nodeColumns_ + i1] * u;
        return top * (1 - v) + bottom * v;
    };
    x = at(xs_);
    y = at(ys_);
}

double latticeError(const CoordinateTransform& transform, const GridFrame& frame,
                    std::size_t spacing) {
    const LatticeMapping mapping(transform, frame, spacing);
    const double points = static_cast<double>(frame.columns) * static_cast<double>(frame.rows);
    // Every point up to 40000, else every k-th row and column (k odd, so
    // prime to the spacing's powers of two: the sample meets every offset
    // within a cell).
    std::size_t every = 1;
    while (points / static_cast<double>(every * every) > 40000.0)
        every += 2;
    double largest = 0.0;
    for (std::size_t r = 0; r < frame.rows; r += every)
        for (std::size_t c = 0; c < frame.columns; c += every) {
            double x = frame.west + static_cast<double>(c) * frame.stepX;
            double y = frame.north - static_cast<double>(r) * frame.stepY;
            if (!transform.apply(x, y)) continue;
            double lx = 0.0, ly = 0.0;
            mapping.point(c, r, lx, ly);
            largest = std::max(largest, std::hypot(lx - x, ly - y));
        }
    return largest;
}

bool transformedBounds(const CoordinateTransform& transform, const GridFrame& frame, Area& box,
                       std::size_t spacing) {
    if (frame.columns == 0 || frame.rows == 0) return false;
    double xMin = std::numeric_limits<double>::infinity(), yMin = xMin;
    double xMax = -xMin, yMax = -xMin;
    auto take = [&](std::size_t c, std::size_t r) {
        double x = frame.west + static_cast<double>(c) * frame.stepX;
        double y = frame.north - static_cast<double>(r) * frame.stepY;
        if (!transform.apply(x, y)) return false;
        xMin = std::min(xMin, x);
        xMax = std::max(xMax, x);
        yMin = std::min(yMin, y);
        yMax = std::max(yMax, y);
        return true;
    };
    const std::size_t lastC = frame.columns - 1, lastR = frame.rows - 1;
    spacing = std::max<std::size_t>(spacing, 1);
    for (std::size_t c = 0;; c = std::min(c + spacing, lastC)) {
        if (!take(c, 0) || !take(c, lastR)) return false;
        if (c == lastC) break;
    }
    for (std::size_t r = 0;; r = std::min(r + spacing, lastR)) {
        if (!take(0, r) || !take(lastC, r)) return false;
        if (r == lastR) break;
    }
    box = {xMin, yMin, xMax, yMax};
    return true;
}

bool stepIn(const ElevationGrid& grid, int toEpsg, double& stepX, double& stepY) {
    const std::optional<CoordinateTransform> t = CoordinateTransform::between(grid.epsg, toEpsg);
    if (!t) return false;
    const double cx = grid.west + static_cast<double>(grid.columns / 2) * grid.stepX;
    const double cy = grid.north - static_cast<double>(grid.rows / 2) * grid.stepY;
    double x0 = cx, y0 = cy, x1 = cx + grid.stepX, y1 = cy, x2 = cx, y2 = cy - grid.stepY;
    if (!t->apply(x0, y0) || !t->apply(x1, y1) || !t->apply(x2, y2)) return false;
    stepX = std::hypot(x1 - x0, y1 - y0);
    stepY = std::hypot(x2 - x0, y2 - y0);
    return stepX > 0.0 && stepY > 0.0;
}

namespace {

// Heights of a grid looked up at fractional indices.
struct Sampler {
    const ElevationGrid& g;
    double halfX = 0.0, halfY = 0.0; // > 0: the area mean over ±half indices

    float at(long long c, long long r) const {
        return g.heights[static_cast<std::size_t>(r) * g.columns + static_cast<std::size_t>(c)];
    }

    // NaN outside the grid (beyond half a step from its border points) and
    // where the nearest point holds no height.
    double sample(double fc, double fr) const {
        const double cols = static_cast<double>(g.columns), rows = static_cast<double>(g.rows);
        if (!(fc >= -0.5 && fc <= cols - 0.5 && fr >= -0.5 && fr <= rows - 0.5)) return NaN;
        // The cell holding the point (fc, fr >= -0.5: truncation is the floor
        // or the clamp to 0); half a step beyond the border points bilinear
        // goes on linearly, so that tiles meet without a seam.
        const long long lastC = static_cast<long long>(g.columns) - 1;
        const long long lastR = static_cast<long long>(g.rows) - 1;
        const long long c0 =
            std::min(static_cast<long long>(std::max(fc, 0.0)), std::max(0LL, lastC - 1));
        const long long r0 =
            std::min(static_cast<long long>(std::max(fr, 0.0)), std::max(0LL, lastR - 1));
        const long long c1 = std::min(c0 + 1, lastC), r1 = std::min(r0 + 1, lastR);
        const double u = c1 > c0 ? fc - static_cast<double>(c0) : 0.0;
        const double v = r1 > r0 ? fr - static_cast<double>(r0) : 0.0;
        if (halfX > 0.0 || halfY > 0.0) {
            if (std::isnan(at(u < 0.5 ? c0 : c1, v < 0.5 ? r0 : r1))) return NaN;
            return mean(fc, fr);
        }
        const double h00 = at(c0, r0), h10 = at(c1, r0), h01 = at(c0, r1), h11 = at(c1, r1);
        const double h = (h00 * (1 - u) + h10 * u) * (1 - v) + (h01 * (1 - u) + h11 * u) * v;
        if (!std::isnan(h)) return h;
        // A neighbour without data: the nearest point's height, or none.
        return at(u < 0.5 ? c0 : c1, v < 0.5 ? r0 : r1);
    }

    double mean(double fc, double fr) const {
        const double hx = std::max(halfX, 0.5), hy = std::max(halfY, 0.5);
        // Clamped as doubles: a footprint may be wider than any integer.
        const double lastC = static_cast<double>(g.columns) - 1,
                     lastR = static_cast<double>(g.rows) - 1;
        auto index = [](double v, double last) {
            return static_cast<long long>(std::clamp(v, -1.0, last + 1.0));
        };
        const long long cFrom = index(std::max(0.0, std::ceil(fc - hx)), lastC);
        const long long cTo = index(std::min(lastC, std::floor(fc + hx)), lastC);
        const long long rFrom = index(std::max(0.0, std::ceil(fr - hy)), lastR);
        const long long rTo = index(std::min(lastR, std::floor(fr + hy)), lastR);
        double sum = 0.0;
        long long n = 0;
        for (long long r = rFrom; r <= rTo; ++r)
            for (long long c = cFrom; c <= cTo; ++c) {
                const float h = at(c, r);
                if (!std::isnan(h)) sum += h, ++n;
            }
        return n ? sum / static_cast<double>(n) : NaN;
    }
};

} // namespace

bool warpHeights(ElevationGrid& grid, const std::string& name, const TargetLattice& target,
                 ElevationGrid& out) {
    const std::optional<CoordinateTransform> forward =
        CoordinateTransform::between(grid.epsg, target.epsg);
    const std::optional<CoordinateTransform> back =
        CoordinateTransform::between(target.epsg, grid.epsg);
    const GridFrame source{grid.columns, grid.rows, grid.west, grid.north, grid.stepX, grid.stepY};
    Area box;
    if (!forward || !back || !transformedBounds(*forward, source, box)) {
        report("%s laesst sich nicht von EPSG %d nach EPSG %d umrechnen!\n", name.c_str(),
               grid.epsg, target.epsg);
        return false;
    }
    // Half a source step beyond the border points still counts (sample()).
    const double marginX = 0.5 * (box.x2 - box.x1) / std::max<double>(1.0, double(grid.columns));
    const double marginY = 0.5 * (box.y2 - box.y1) / std::max<double>(1.0, double(grid.rows));
    const double e = 1e-9;
    const double i0 = std::ceil((box.x1 - marginX - target.anchorX) / target.stepX - e);
    const double i1 = std::floor((box.x2 + marginX - target.anchorX) / target.stepX + e);
    const double j0 = std::ceil((target.anchorY - box.y2 - marginY) / target.stepY - e);
    const double j1 = std::floor((target.anchorY - box.y1 + marginY) / target.stepY + e);
    const double columns = i1 - i0 + 1, rows = j1 - j0 + 1;
    if (!(columns * rows <= static_cast<double>(MaxGridPoints))) {
        report("%s ist umgerechnet zu gross (%.0f x %.0f Punkte)!\n", name.c_str(), columns, rows);
        return false;
    }
    ElevationGrid result;
    result.geographic = target.geographic;
    result.epsg = target.epsg;
    result.stepX = target.stepX;
    result.stepY = target.stepY;
    result.noData = grid.noData;
    result.conflicts = grid.conflicts;
    if (columns >= 1 && rows >= 1) {
        result.columns = static_cast<std::size_t>(columns);
        result.rows = static_cast<std::size_t>(rows);
        result.west = target.anchorX + i0 * target.stepX;
        result.north = target.anchorY - j0 * target.stepY;
        const GridFrame frame{result.columns, result.rows,  result.west,
                              result.north,   target.stepX, target.stepY};
        const LatticeMapping mapping(*back, frame);
        // How many source steps one target step spans, at the centre: the
        // mean over the step only where the target is clearly coarser (a
        // grid turned by a few degrees between zones is not).
        Sampler sampler{grid};
        {
            const std::size_t c = result.columns / 2, r = result.rows / 2;
            double x0, y0, x1, y1, x2, y2;
            mapping.point(c, r, x0, y0);
            mapping.point(std::min(c + 1, result.columns - 1), r, x1, y1);
            mapping.point(c, std::min(r + 1, result.rows - 1), x2, y2);
            const double a = (x1 - x0) / grid.stepX, b = (x2 - x0) / grid.stepX;
            const double c2 = (y1 - y0) / grid.stepY, d = (y2 - y0) / grid.stepY;
            if (std::isfinite(a * d - b * c2) && std::fabs(a * d - b * c2) > 1.5 * 1.5) {
                sampler.halfX = 0.5 * (std::fabs(a) + std::fabs(b));
                sampler.halfY = 0.5 * (std::fabs(c2) + std::fabs(d));
            }
        }
        result.heights.assign(result.columns * result.rows, ElevationGrid::NoData);
        std::vector<double> xs, ys;
        for (std::size_t r = 0; r < result.rows; ++r) {
            mapping.row(r, xs, ys);
            float* row = result.heights.data() + r * result.columns;
            for (std::size_t c = 0; c < result.columns; ++c) {
                const double h = sampler.sample((xs[c] - grid.west) / grid.stepX,
                                                (grid.north - ys[c]) / grid.stepY);
                if (!std::isnan(h)) row[c] = static_cast<float>(h);
            }
        }
    }
    std::vector<float>().swap(grid.heights);
    out = std::move(result);
    return true;
}

std::size_t paintWarpedPicture(ColourCanvas& canvas, const TerrainPlace& place,
                               const PlacedPicture& picture, int terrainEpsg) {
    const RgbImage& img = picture.image;
    const GeoPlacement& at = picture.placement;
    const std::optional<CoordinateTransform> toPicture =
        CoordinateTransform::between(terrainEpsg, at.epsg);
    if (!toPicture || canvas.width == 0 || img.width == 0 || img.height == 0 ||
        img.rgb.size() != img.width * img.height * 3 || !(at.stepX > 0) || !(at.stepY > 0))
        return 0;
    if (canvas.covered.size() != canvas.width * canvas.height)
        canvas.covered.assign(canvas.width * canvas.height, 0);
    // The corners of the pixels' grid steps: corner row k runs half a step
    // north of grid row k + 1 (canvas row height - 1 - k), corner column i
    // half a step west of grid column i.
    const double half = place.step / 2.0;
    const double westM = place.west - half, northM = place.north - place.step + half;
    const double west = place.frame.toInputX(westM), north = place.frame.toInputY(northM);
    const GridFrame corners{canvas.width + 1,
                            canvas.height + 1,
                            west,
                            north,
                            place.frame.toInputX(westM + place.step) - west,
                            north - place.frame.toInputY(northM - place.step)};
    const LatticeMapping mapping(*toPicture, corners);
    const double w = static_cast<double>(img.width), h = static_cast<double>(img.height);
    std::vector<double> topX, topY, bottomX, bottomY;
    mapping.row(0, topX, topY);
    std::size_t painted = 0;
    for (std::size_t k = 0; k < canvas.height; ++k) {
        mapping.row(k + 1, bottomX, bottomY);
        const std::size_t r = canvas.height - 1 - k;
        for (std::size_t c = 0; c < canvas.width; ++c) {
            const double px[4] = {topX[c], topX[c + 1], bottomX[c], bottomX[c + 1]};
            const double py[4] = {topY[c], topY[c + 1], bottomY[c], bottomY[c + 1]};
            double loX = w, hiX = 0, loY = h, hiY = 0, cx = 0, cy = 0;
            for (int n = 0; n < 4; ++n) {
                const double x = (px[n] - at.west) / at.stepX, y = (at.north - py[n]) / at.stepY;
                loX = std::min(loX, x);
                hiX = std::max(hiX, x);
                cx += x / 4;
                loY = std::min(loY, y);
                hiY = std::max(hiY, y);
                cy += y / 4;
            }
            if (!(cx >= 0.0 && cx < w && cy >= 0.0 && cy < h)) continue;
            // The pixels whose centres lie in the step's box, or the one
            // under the point when the picture is coarser.
            double a = std::ceil(loX - 0.5), b = std::ceil(hiX - 0.5) - 1.0;
            if (a > b) a = b = std::floor(cx);
            double top = std::ceil(loY - 0.5), bottom = std::ceil(hiY - 0.5) - 1.0;
            if (top > bottom) top = bottom = std::floor(cy);
            const auto c0 = static_cast<std::size_t>(std::clamp(a, 0.0, w - 1));
            const auto c1 = static_cast<std::size_t>(std::clamp(b, 0.0, w - 1));
            const auto r0 = static_cast<std::size_t>(std::clamp(top, 0.0, h - 1));
            const auto r1 = static_cast<std::size_t>(std::clamp(bottom, 0.0, h - 1));
            std::uint64_t sum[3] = {0, 0, 0};
            for (std::size_t j = r0; j <= r1; ++j) {
                const std::uint8_t* p = img.rgb.data() + (j * img.width + c0) * 3;
                for (std::size_t i = c0; i <= c1; ++i, p += 3)
                    sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
            }
            const std::uint64_t n = (r1 - r0 + 1) * (c1 - c0 + 1);
            std::uint8_t* q = canvas.rgb.data() + (r * canvas.width + c) * 3;
            for (int k3 = 0; k3 < 3; ++k3)
                q[k3] = static_cast<std::uint8_t>((sum[k3] + n / 2) / n);
            canvas.covered[r * canvas.width + c] = 1;
            ++painted;
        }
        topX.swap(bottomX);
        topY.swap(bottomY);
    }
    return painted;
}
