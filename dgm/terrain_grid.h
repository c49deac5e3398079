// The converter's working grid and the steps between the elevation readers
// and the ".ter" writer: joining inputs into one mosaic, cutting, resampling
// onto the terrain's metric grid and filling holes.
//
// Memory: the grids keep every row in an allocation of its own. A mosaic
// that grows by a tile therefore copies one row at a time (never the whole
// grid twice), and the resampler frees the source rows it has passed, so a
// run holds little more than the largest grid of the chain.
//
// Coordinates follow ElevationGrid: point (c, r) lies at x = west + c × stepX,
// y = north − r × stepY; row 0 is the northern row.
#pragma once

#include "dgm/elevation_grid.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RowGrid {
    std::size_t columns = 0;              // points west to east
    std::vector<std::vector<float>> rows; // north to south, each `columns` long; NaN = no data
    double west = 0.0;                    // x of column 0 (metres or degrees)
    double north = 0.0;                   // y of row 0
    double stepX = 0.0;                   // > 0 once the grid holds points
    double stepY = 0.0;                   // > 0 once the grid holds points
    bool geographic = false;              // x/y in degrees of longitude/latitude
    int epsg = 0;                         // 0 = unknown

    std::size_t rowCount() const { return rows.size(); }
    bool empty() const { return columns == 0 || rows.empty(); }
};

// An area in the inputs' coordinates; the corners may come in any order.
struct Area {
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
};

// Joins input grids into one. The first grid fixes the coordinate system and
// the lattice (steps and the position of the points); every later one must
// share them: same kind of coordinates, same EPSG code where both know one,
// the same steps and points on the same lattice. Where inputs overlap the
// first valid height stays. With a cut only the points inside it are kept.
class Mosaic {
  public:
    explicit Mosaic(std::optional<Area> cut = std::nullopt);

    // Pastes the grid, whose heights are freed afterwards. False after a
    // message naming both files when it does not fit the grids before it;
    // the mosaic is then unchanged.
    [[nodiscard]] bool add(ElevationGrid& grid, const std::string& name);

    // The joined grid (empty when no point lay inside the cut); the mosaic
    // is empty afterwards.
    RowGrid take();

  private:
    std::optional<Area> cut_;
    RowGrid grid_;
    std::string firstName_;
    long long firstColumn_ = 0; // lattice column of grid_ column 0
    long long firstRow_ = 0;    // lattice row of grid_ row 0
    bool started_ = false;
};

// Fills every no-data point from its valid neighbours (the eight around
// it), ring by ring inward from the edge of each hole, so a hole takes the
// heights of its shore. Returns how many points were filled; -1 when the
// grid holds no valid height at all (nothing is changed then).
long long fillHoles(RowGrid& grid);

// The lowest and highest height of a grid without holes.
struct HeightRange {
    double low = 0.0;
    double high = 0.0;
};
HeightRange heightRange(const RowGrid& grid);

// How the terrain's metric grid lies in the inputs' coordinates. For metric
// inputs the terrain keeps their coordinates. Degrees are mapped onto a
// plane around the centre of the area: x = (lon − lon0) × metresPerDegreeX,
// y = (lat − lat0) × metresPerDegreeY, with metresPerDegreeX shrinking with
// the cosine of the centre's latitude.
struct MetricFrame {
    bool fromDegrees = false;
    double lon0 = 0.0;             // degrees
    double lat0 = 0.0;             // degrees
    double metresPerDegreeX = 1.0; // east-west
    double metresPerDegreeY = 1.0; // north-south
    double toInputX(double x) const { return fromDegrees ? lon0 + x / metresPerDegreeX : x; }
    double toInputY(double y) const { return fromDegrees ? lat0 + y / metresPerDegreeY : y; }
    double toMetricX(double lon) const {
        return fromDegrees ? (lon - lon0) * metresPerDegreeX : lon;
    }
    double toMetricY(double lat) const {
        return fromDegrees ? (lat - lat0) * metresPerDegreeY : lat;
    }
};

// The frame for a grid: the identity for metric grids, the plane around the
// centre for degrees.
MetricFrame metricFrameFor(const RowGrid& grid);

// The grid step that a terrain of these inputs gets when none is asked for,
// in whole centimetres (the generator works in them): the input's step for
// metric grids (the smaller one when the two axes differ), for degrees the
// geometric mean of the east-west and north-south spacing at the centre.
std::int32_t naturalStepCm(const RowGrid& grid, const MetricFrame& frame);

// The grid resampled onto a metric grid of the step (in metres) over the
// same area: bilinear where the new step is finer than or equal to the old
// one, the mean over each new cell where it is coarser. The source rows are
// freed as the work passes them; `source` is empty afterwards. A metric
// grid whose step already is the wanted one is handed on unchanged.
RowGrid resampleToMetric(RowGrid&& source, const MetricFrame& frame, double step);
