// Grids and pictures moved from one coordinate system into another: the
// heights of a tile in another zone onto the terrain's lattice, a photo in
// degrees onto the terrain's grid steps.
//
// Speed: an exact transform of every point of a 2000 x 2000 grid takes about
// a second. The points are transformed exactly on a coarse lattice (every
// LatticeSpacing points) and interpolated bilinearly between; over the
// lattice cells of a few hundred metres the projections bend so little that
// the largest position error stays far below a millimetre
// (latticeError measures it).
#pragma once

#include "dgm/colour_picture.h"
#include "dgm/coordinate_systems.h"
#include "dgm/elevation_grid.h"
#include "dgm/terrain_grid.h"

#include <cstddef>
#include <string>
#include <vector>

inline constexpr std::size_t LatticeSpacing = 16;

// A regular grid of points: (c, r) at x = west + c × stepX, y = north − r ×
// stepY, in the coordinates of some system.
struct GridFrame {
    std::size_t columns = 0, rows = 0;
    double west = 0.0, north = 0.0;
    double stepX = 0.0, stepY = 0.0;
};

// The points of a grid frame carried through a transform: exactly every
// `spacing` points (and on the last row and column), bilinear between.
// Points whose lattice cell holds a point the transform cannot carry are
// NaN.
class LatticeMapping {
  public:
    LatticeMapping(const CoordinateTransform& transform, const GridFrame& frame,
                   std::size_t spacing = LatticeSpacing);
    // The transformed points of row r, columns [0, frame.columns).
    void row(std::size_t r, std::vector<double>& xs, std::vector<double>& ys) const;
    void point(std::size_t c, std::size_t r, double& x, double& y) const;

  private:
    GridFrame frame_;
    std::size_t spacing_ = 1, nodeColumns_ = 0, nodeRows_ = 0;
    std::vector<double> xs_, ys_; // the lattice's nodes, nodeRows_ × nodeColumns_
    double nodeCoordinate(std::size_t index, std::size_t last) const;
};

// The largest distance (in the target's units) between the lattice's
// interpolation and the exact transform over the frame's points (all of
// them up to 40000, else a sample of every k-th row and column, k odd).
double latticeError(const CoordinateTransform& transform, const GridFrame& frame,
                    std::size_t spacing = LatticeSpacing);

// The smallest box (x1/y1 the south-west corner, x2/y2 the north-east one)
// in the transform's target holding the frame's border carried through it,
// traced every `spacing` points. False when a border point cannot be carried.
bool transformedBounds(const CoordinateTransform& transform, const GridFrame& frame, Area& box,
                       std::size_t spacing = LatticeSpacing);

// The lattice the terrain's heights lie on: points at x = anchorX + i ×
// stepX, y = anchorY − j × stepY for whole i, j, in system `epsg`.
struct TargetLattice {
    int epsg = 0;
    bool geographic = false;
    double anchorX = 0.0, anchorY = 0.0;
    double stepX = 0.0, stepY = 0.0;
};

// The grid's heights on the target lattice over the area the grid covers
// (grid.epsg is the grid's own system; both are in the table): bilinear
// where the target is as fine as the grid or finer, the mean over each
// target step where it is coarser. No data stays no data: a point whose
// nearest grid point holds none, or outside the grid, is NaN. The counts of
// grid.noData and grid.conflicts are handed on; grid's heights are freed.
// False after one message naming the file when the grid cannot be carried
// into the target or the result would exceed MaxGridPoints.
[[nodiscard]] bool warpHeights(ElevationGrid& grid, const std::string& name,
                               const TargetLattice& target, ElevationGrid& out);

// The step of the grid's lattice carried into `toEpsg` (both in the table)
// at its centre: along x and y in the target's units.
bool stepIn(const ElevationGrid& grid, int toEpsg, double& stepX, double& stepY);

// Paints a picture placed in another system (picture.placement.epsg) onto a
// terrain in system terrainEpsg: each pixel the picture's mean colour over
// its grid step, carried into the picture's system. Pixels whose grid point
// lies off the picture stay as they are. Returns how many it painted; 0
// also when the systems cannot be transformed.
std::size_t paintWarpedPicture(ColourCanvas& canvas, const TerrainPlace& place,
                               const PlacedPicture& picture, int terrainEpsg);
