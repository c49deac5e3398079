#include "dgm/target_system.h"

#include "common/message.h"
#include "common/paths.h"
#include "dgm/coordinate_systems.h"
#include "dgm/reproject.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

bool parseDegrees(const char* text, bool latitude, double& out) {
    std::string t = text;
    double sign = 1.0;
    if (!t.empty()) {
        const char last = static_cast<char>(t.back() & ~0x20); // upper case
        const bool suffix =
            latitude ? (last == 'N' || last == 'S') : (last == 'E' || last == 'O' || last == 'W');
        if (suffix) {
            t.pop_back();
            if (last == 'S' || last == 'W') sign = -1.0;
        }
    }
    if (std::count(t.begin(), t.end(), ',') == 1 && t.find('.') == std::string::npos)
        t[t.find(',')] = '.';
    if (t.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(v)) return false;
    if (sign < 0 && v < 0) return false; // "-47S" says south twice
    out = sign * v;
    return std::fabs(out) <= (latitude ? 90.0 : 180.0);
}

namespace {

std::string gdalHint(int epsg, const std::string& file) {
    const std::string name = splitPath(file).name;
    const std::string stem = name.substr(0, name.rfind('.'));
    return formatText("gdalwarp -t_srs EPSG:%d %s %s_%d.tif", epsg, name.c_str(), stem.c_str(),
                      epsg);
}

} // namespace

bool checkSystemOptions(const SystemOptions& o) {
    if (o.target != 0) {
        const std::optional<CoordinateSystem> s = findCoordinateSystem(o.target);
        if (!s || s->geographic) {
            report("--ziel braucht ein metrisches System (UTM EPSG:258xx, 326xx, 327xx oder "
                   "Gauss-Krueger EPSG:31466 bis 31469): EPSG %d!\n",
                   o.target);
            return false;
        }
    }
    return true;
}

bool InputSystems::fixTarget(const ElevationGrid& grid, const std::string& name) {
    target_ = options_.target != 0 ? options_.target : grid.epsg;
    targetFrom_ = options_.target != 0 ? std::string("--ziel") : splitPath(name).name;
    const std::optional<CoordinateSystem> s = findCoordinateSystem(target_);
    targetGeographic_ = s ? s->geographic : grid.geographic;
    return true;
}

bool InputSystems::prepare(ElevationGrid& grid, const std::string& name) {
    if (grid.columns == 0 || grid.rows == 0 || !(grid.stepX > 0) || !(grid.stepY > 0)) return true;
    if (grid.epsg == 0 && options_.source != 0) {
        grid.epsg = options_.source;
        if (const std::optional<CoordinateSystem> s = findCoordinateSystem(grid.epsg))
            grid.geographic = s->geographic;
        assumed_.push_back(splitPath(name).name);
    }
    if (target_ == 0 && (grid.epsg != 0 || options_.target != 0)) fixTarget(grid, name);
    if (grid.epsg == 0) {
        // Taken as it is, in the target's system (or, before any input
        // declares one, in the metres it gives, as always).
        assumed_.push_back(splitPath(name).name);
        return true;
    }
    if (grid.epsg == target_) return true;
    if (!findCoordinateSystem(grid.epsg)) {
        report("%s ist in EPSG %d, das zumt_dgm nicht umrechnet; mit GDAL umwandeln: %s\n",
               name.c_str(), grid.epsg, gdalHint(target_, name).c_str());
        return false;
    }
    if (!findCoordinateSystem(target_)) {
        report("%s ist in EPSG %d, das zumt_dgm nicht umrechnet, %s in EPSG %d; mit GDAL "
               "umwandeln: %s\n",
               targetFrom_.c_str(), target_, name.c_str(), grid.epsg,
               gdalHint(grid.epsg, targetFrom_).c_str());
        return false;
    }
    if (!latticeKnown_) {
        // The first grid warped: its step carried into the target, in whole
        // centimetres, on a lattice through the origin.
        double sx = 0.0, sy = 0.0;
        if (!stepIn(grid, target_, sx, sy)) {
            report("%s laesst sich nicht von EPSG %d nach EPSG %d umrechnen!\n", name.c_str(),
                   grid.epsg, target_);
            return false;
        }
        stepX_ = stepY_ = std::max(0.01, std::round(std::min(sx, sy) * 100.0) / 100.0);
        anchorX_ = anchorY_ = 0.0;
        latticeKnown_ = true;
    }
    const int from = grid.epsg;
    ElevationGrid warped;
    if (!warpHeights(grid, name, {target_, targetGeographic_, anchorX_, anchorY_, stepX_, stepY_},
                     warped))
        return false;
    grid = std::move(warped);
    warped_.push_back(formatText("%s (EPSG %d)", splitPath(name).name.c_str(), from));
    return true;
}

void InputSystems::latticeFrom(const ElevationGrid& first) {
    if (latticeKnown_ || first.columns == 0 || first.rows == 0 || !(first.stepX > 0)) return;
    anchorX_ = first.west;
    anchorY_ = first.north;
    stepX_ = first.stepX;
    stepY_ = first.stepY;
    latticeKnown_ = true;
}

bool InputSystems::cut(const ElevationGrid& first, std::optional<Area>& out) {
    if (!options_.area) return true;
    const DegreeArea& a = *options_.area;
    const char* option = a.centred ? "--mitte" : "--ausschnitt-grad";
    if (target_ == 0) {
        report("%s: die Eingaben nennen kein Koordinatensystem; bitte mit --quelle EPSG:... "
               "angeben!\n",
               option);
        return false;
    }
    const std::optional<CoordinateTransform> toTarget = CoordinateTransform::between(4326, target_);
    if (!toTarget) {
        report("%s: EPSG %d rechnet zumt_dgm nicht um; mit GDAL umwandeln: %s\n", option, target_,
               gdalHint(25832, targetFrom_).c_str());
        return false;
    }
    double xMin = INFINITY, yMin = INFINITY, xMax = -INFINITY, yMax = -INFINITY;
    auto take = [&](double lon, double lat) {
        if (!toTarget->apply(lon, lat)) return false;
        xMin = std::min(xMin, lon);
        xMax = std::max(xMax, lon);
        yMin = std::min(yMin, lat);
        yMax = std::max(yMax, lat);
        return true;
    };
    bool ok = true;
    if (a.centred) {
        double x = a.lon1, y = a.lat1;
        ok = toTarget->apply(x, y);
        double halfX = a.size / 2.0, halfY = a.size / 2.0;
        if (targetGeographic_) { // metres on the ellipsoid at the centre
            const double e2 = 0.00669438, phi = a.lat1 * std::numbers::pi / 180.0;
            const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
            const double perDegree = 6378137.0 * std::numbers::pi / 180.0;
            halfY /= perDegree * (1.0 - e2) / (w * std::sqrt(w));
            halfX /= perDegree * std::cos(phi) / std::sqrt(w);
        }
        xMin = x - halfX, xMax = x + halfX, yMin = y - halfY, yMax = y + halfY;
    } else {
        ok = take(a.lon1, a.lat1) && take(a.lon2, a.lat1) && take(a.lon1, a.lat2) &&
             take(a.lon2, a.lat2);
    }
    if (!ok) {
        report("%s liegt ausserhalb von EPSG %d!\n", option, target_);
        return false;
    }
    // Outward onto the lattice, so that the rectangle holds the corners.
    const double ax = latticeKnown_ ? anchorX_ : first.west;
    const double ay = latticeKnown_ ? anchorY_ : first.north;
    const double sx = latticeKnown_ ? stepX_ : first.stepX;
    const double sy = latticeKnown_ ? stepY_ : first.stepY;
    const double e = 1e-9;
    Area c;
    c.x1 = ax + std::floor((xMin - ax) / sx + e) * sx;
    c.x2 = ax + std::ceil((xMax - ax) / sx - e) * sx;
    c.y2 = ay - std::floor((ay - yMax) / sy + e) * sy;
    c.y1 = ay - std::ceil((ay - yMin) / sy - e) * sy;
    out = c;
    const char* f = targetGeographic_ ? "%.6f %.6f bis %.6f %.6f" : "%.2f %.2f bis %.2f %.2f";
    const std::string inTarget = formatText(f, c.x1, c.y1, c.x2, c.y2);
    if (a.centred)
        area_ = formatText("%.0f m um %.6f N %.6f E = EPSG %d: %s", a.size, a.lat1, a.lon1, target_,
                           inTarget.c_str());
    else
        area_ =
            formatText("%.6f N %.6f E bis %.6f N %.6f E = EPSG %d: %s", std::min(a.lat1, a.lat2),
                       std::min(a.lon1, a.lon2), std::max(a.lat1, a.lat2), std::max(a.lon1, a.lon2),
                       target_, inTarget.c_str());
    return true;
}

std::vector<std::pair<std::string, std::string>> InputSystems::notes() const {
    std::vector<std::pair<std::string, std::string>> lines;
    if (!area_.empty()) lines.emplace_back("Ausschnitt:", area_);
    auto joined = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& n : names)
            text += (text.empty() ? "" : ", ") + n;
        return text;
    };
    // Without any system declared the inputs are taken as always, unsaid.
    if (!assumed_.empty() && target_ != 0) {
        const std::string why = options_.source != 0
                                    ? formatText("in EPSG %d (--quelle)", options_.source)
                                    : formatText("in EPSG %d wie %s", target_, targetFrom_.c_str());
        lines.emplace_back("System:", formatText("ohne Angabe, genommen %s: %s", why.c_str(),
                                                 joined(assumed_).c_str()));
    }
    if (!warped_.empty())
        lines.emplace_back("Umgerechnet:",
                           formatText("nach EPSG %d: %s", target_, joined(warped_).c_str()));
    return lines;
}

bool cornerInDegrees(int epsg, double x, double y, double& longitude, double& latitude) {
    const std::optional<CoordinateTransform> t = CoordinateTransform::between(epsg, 4326);
    if (!t || !t->apply(x, y)) return false;
    longitude = x;
    latitude = y;
    return true;
}
