// The one coordinate system a terrain is built in, and how every input gets
// into it.
//
// The target is the system --ziel names (a projected system of the table),
// else the system of the first input that declares one. An input that
// declares none (XYZ, an ASCII grid without ".prj", a world file) is taken in
// the system --quelle names, else in the target's. Every other input in
// another system of the table is warped onto the target's lattice
// (dgm/reproject.h); a system outside the table is used as it is while it is
// the only one, and refused with its code and the GDAL command that
// converts it when mixed with another.
//
// Degrees alone (all inputs in degrees, no --ziel) keep their grid in
// degrees, which the terrain maps onto metres around its centre.
#pragma once

#include "dgm/elevation_grid.h"
#include "dgm/terrain_grid.h"

#include <optional>
#include <string>
#include <vector>

// An area in latitude and longitude: two corners (--ausschnitt-grad), or a
// square of `size` metres around a point (--mitte, --groesse).
struct DegreeArea {
    double lat1 = 0.0, lon1 = 0.0, lat2 = 0.0, lon2 = 0.0; // corners in any order
    bool centred = false;                                  // lat1/lon1 the centre, size the side
    double size = 0.0;                                     // metres
};

// A latitude ("47.5", "47,5", "47.5N", "12.25S") or longitude ("11.2E",
// "11,2O", "8W"): decimal degrees, a decimal comma allowed, south and west
// negative. False for anything else or beyond ±90 / ±180.
bool parseDegrees(const char* text, bool latitude, double& out);

struct SystemOptions {
    int target = 0; // --ziel, 0 = none
    int source = 0; // --quelle, 0 = none
    std::optional<DegreeArea> area;
};

// Checks the codes of --ziel and --quelle; false after a message.
[[nodiscard]] bool checkSystemOptions(const SystemOptions& options);

class InputSystems {
  public:
    explicit InputSystems(const SystemOptions& options) : options_(options) {}

    // Brings a grid just read into the target system: gives an undeclared
    // grid --quelle's or the target's system, fixes the target with the
    // first declared grid, warps a grid of another system onto the lattice.
    // False after one message naming the file.
    [[nodiscard]] bool prepare(ElevationGrid& grid, const std::string& name);

    // The lattice of the first grid added to the mosaic (its first point and
    // steps), which later grids are warped onto.
    void latticeFrom(const ElevationGrid& first);

    // The cut of --ausschnitt-grad or --mitte/--groesse in the target's
    // coordinates once the first grid is prepared: the smallest rectangle
    // of its lattice that holds the area's corners. Nothing without such an
    // option; false after a message when the target cannot take it.
    // `first` is the first grid prepared (whose lattice the mosaic takes
    // unless it was warped).
    [[nodiscard]] bool cut(const ElevationGrid& first, std::optional<Area>& out);

    int target() const { return target_; }
    // What the summary says ("Label:", text): the area in both systems, the
    // inputs taken in an assumed system, those warped.
    std::vector<std::pair<std::string, std::string>> notes() const;

  private:
    bool fixTarget(const ElevationGrid& grid, const std::string& name);

    SystemOptions options_;
    int target_ = 0;
    bool targetGeographic_ = false;
    std::string targetFrom_; // the file whose system the target is
    bool latticeKnown_ = false;
    double anchorX_ = 0.0, anchorY_ = 0.0, stepX_ = 0.0, stepY_ = 0.0;
    std::vector<std::string> assumed_; // file names
    std::vector<std::string> warped_;  // "name (EPSG n)"
    std::string area_;                 // the cut in both systems
};

// The south-west corner (x, y in the system `epsg`) in degrees; false when
// the system is not in the table.
bool cornerInDegrees(int epsg, double x, double y, double& longitude, double& latitude);
