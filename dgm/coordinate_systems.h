// The coordinate systems the converter can transform between, and the
// transforms themselves.
//
// The table (coordinate_systems.cpp, one place) holds the systems elevation
// and picture downloads come in: the UTM zones on ETRS89 (EPSG 25828 to
// 25838) and WGS 84 (32601 to 32660 north, 32701 to 32760 south), Gauss-
// Krueger zones 2 to 5 on DHDN (31466 to 31469) and longitude/latitude on
// ETRS89 and WGS 84 (4258, 4326). Any other code is not transformed: an input
// in it is used as it is when it is alone.
//
// Datums: every system of the table carries its seven parameters to WGS 84
// (zero for ETRS89 and WGS 84, which lie within a metre of each other; DHDN
// the seven-parameter shift of the position-vector convention). That shift is
// about a metre from the official grid of the survey offices, which tools
// pick by default and which lies some decimetres from the shift here.
//
// Coordinates: x/y are easting/northing in metres for the projected systems,
// longitude/latitude in degrees for the geographic ones.
#pragma once

#include <memory>
#include <optional>
#include <string>

struct CoordinateSystem {
    int epsg = 0;
    bool geographic = false;
    // The transverse Mercator of a projected system.
    double centralMeridian = 0.0; // degrees
    double scale = 1.0;
    double falseEasting = 0.0;  // metres
    double falseNorthing = 0.0; // metres
    // The ellipsoid and the shift of its datum to WGS 84 (metres, arc
    // seconds, parts per million; position-vector rotations).
    double semiMajor = 6378137.0;
    double inverseFlattening = 298.257222101;
    double toWgs84[7] = {0, 0, 0, 0, 0, 0, 0};
    const char* name = ""; // "ETRS89 / UTM Zone 32N"
};

// The system of the code, or nothing when the table does not hold it.
std::optional<CoordinateSystem> findCoordinateSystem(int epsg);

// The code a ".prj" file (ESRI or OGC WKT) declares: its EPSG authority, or
// the names of the table's families (ESRI writes names only:
// "ETRS_1989_UTM_Zone_32N", "WGS_1984_UTM_Zone_33S", "DHDN_3_Degree_Gauss_
// Zone_3", "GCS_WGS_1984"), or the parameters of a transverse Mercator on
// one of their datums. `wkt` is upper case without white space. 0 when it
// names none of them.
int epsgFromWkt(const std::string& wkt);

// A transform from one system of the table to another. Points are
// transformed exactly (through the library's projections and the datum
// shift); for a whole grid see dgm/reproject.h, which transforms a coarse
// lattice and interpolates between.
class CoordinateTransform {
  public:
    // Nothing when either code is not in the table.
    static std::optional<CoordinateTransform> between(int fromEpsg, int toEpsg);

    // Transforms the point in place; false (the point unchanged) where the
    // projection fails (far outside its zone, beyond the poles).
    bool apply(double& x, double& y) const;
    int fromEpsg() const { return from_.epsg; }
    int toEpsg() const { return to_.epsg; }
    const CoordinateSystem& from() const { return from_; }
    const CoordinateSystem& to() const { return to_; }

    struct Projections;

  private:
    CoordinateSystem from_, to_;
    bool shift_ = false; // the datums differ
    std::shared_ptr<const Projections> projections_;
};

// "EPSG:25832", "epsg:25832" or "25832": the code, or 0.
int parseEpsgText(const std::string& text);
