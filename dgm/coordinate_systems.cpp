// The one file that compiles the library's projections: a static projection
// with compile-time parameters builds in seconds, the run-time EPSG form
// would take a quarter of an hour. One instantiation serves every zone: the
// extended transverse Mercator (the series PROJ uses for "tmerc" and "utm",
// to a tenth of a millimetre) with the central meridian, scale, false
// origin and ellipsoid given at run time.
#include "dgm/coordinate_systems.h"

#include <boost/geometry/geometries/point.hpp>
#include <boost/geometry/srs/projection.hpp>

#include <cmath>
#include <cstdlib>
#include <exception>

namespace {

namespace bg = boost::geometry;
namespace spar = bg::srs::spar;
using Spheroid = bg::srs::spheroid<double>;
using TmercParameters = spar::parameters<spar::proj_etmerc, spar::ellps<Spheroid>, spar::lon_0<>,
                                         spar::k_0<>, spar::x_0<>, spar::y_0<>>;
using Tmerc = bg::srs::projection<TmercParameters>;
using Degrees = bg::model::point<double, 2, bg::cs::geographic<bg::degree>>;
using Plane = bg::model::point<double, 2, bg::cs::cartesian>;

constexpr double Grs80InverseFlattening = 298.257222101;
constexpr double Wgs84InverseFlattening = 298.257223563;
constexpr double BesselSemiMajor = 6377397.155;
constexpr double BesselInverseFlattening = 299.1528128;
// DHDN to WGS 84, the shift of the former federal survey for all Germany:
// metres, arc seconds, parts per million (position vector).
constexpr double DhdnToWgs84[7] = {598.1, 73.7, 418.2, 0.202, 0.045, -2.455, 6.7};

CoordinateSystem utm(int epsg, int zone, bool south, bool etrs) {
    CoordinateSystem s;
    s.epsg = epsg;
    s.centralMeridian = zone * 6.0 - 183.0;
    s.scale = 0.9996;
    s.falseEasting = 500000.0;
    s.falseNorthing = south ? 10000000.0 : 0.0;
    s.inverseFlattening = etrs ? Grs80InverseFlattening : Wgs84InverseFlattening;
    s.name = etrs ? "ETRS89 / UTM" : "WGS 84 / UTM";
    return s;
}

} // namespace

std::optional<CoordinateSystem> findCoordinateSystem(int epsg) {
    if (epsg >= 25828 && epsg <= 25838) return utm(epsg, epsg - 25800, false, true);
    if (epsg >= 32601 && epsg <= 32660) return utm(epsg, epsg - 32600, false, false);
    if (epsg >= 32701 && epsg <= 32760) return utm(epsg, epsg - 32700, true, false);
    CoordinateSystem s;
    s.epsg = epsg;
    if (epsg == 4258 || epsg == 4326) {
        s.geographic = true;
        s.inverseFlattening = epsg == 4258 ? Grs80InverseFlattening : Wgs84InverseFlattening;
        s.name = epsg == 4258 ? "ETRS89 (Grad)" : "WGS 84 (Grad)";
        return s;
    }
    if (epsg >= 31466 && epsg <= 31469) {
        const int zone = epsg - 31464;
        s.centralMeridian = zone * 3.0;
        s.falseEasting = zone * 1000000.0 + 500000.0;
        s.semiMajor = BesselSemiMajor;
        s.inverseFlattening = BesselInverseFlattening;
        for (int k = 0; k < 7; ++k)
            s.toWgs84[k] = DhdnToWgs84[k];
        s.name = "DHDN / Gauss-Krueger";
        return s;
    }
    return std::nullopt;
}

namespace {

// The number after the last `key` (upper case, no white space), or NaN.
double numberAfter(const std::string& wkt, const std::string& key) {
    const std::size_t at = wkt.rfind(key);
    if (at == std::string::npos) return std::nan("");
    const char* start = wkt.c_str() + at + key.size();
    char* end = nullptr;
    const double v = std::strtod(start, &end);
    return end == start ? std::nan("") : v;
}

int leadingNumber(const std::string& wkt, std::size_t at) {
    int v = 0;
    for (; at < wkt.size() && wkt[at] >= '0' && wkt[at] <= '9' && v < 1000000; ++at)
        v = v * 10 + (wkt[at] - '0');
    return v;
}

bool has(const std::string& wkt, const char* part) {
    return wkt.find(part) != std::string::npos;
}

} // namespace

int epsgFromWkt(const std::string& wkt) {
    // The last authority is the whole system's (those of the datum and the
    // units come before it).
    for (const char* key : {"AUTHORITY[\"EPSG\",\"", "ID[\"EPSG\","}) {
        const std::size_t at = wkt.rfind(key);
        if (at != std::string::npos) {
            const int code = leadingNumber(wkt, at + std::string(key).size());
            if (code > 0) return code;
        }
    }
    const bool projected = wkt.rfind("PROJCS[", 0) == 0 || wkt.rfind("PROJCRS[", 0) == 0;
    const bool dhdn = has(wkt, "DEUTSCHES_HAUPTDREIECKSNETZ") || has(wkt, "DHDN");
    const bool etrs =
        has(wkt, "ETRS_1989") || has(wkt, "ETRS89") || has(wkt, "GRS_1980") || has(wkt, "GRS1980");
    const bool wgs = has(wkt, "WGS_1984") || has(wkt, "WGS84") || has(wkt, "WGS_84");
    if (!projected) {
        // A GEOGCS names its datum only; ETRS89 first, its ellipsoid is not WGS 84's.
        if (etrs) return 4258;
        if (wgs) return 4326;
        return 0;
    }
    // ESRI's names, then the transverse Mercator's parameters.
    const std::size_t zoneAt = wkt.find("_UTM_ZONE_");
    if (zoneAt != std::string::npos) {
        const int zone = leadingNumber(wkt, zoneAt + 10);
        const std::size_t after = zoneAt + 10 + std::to_string(zone).size();
        const bool south = after < wkt.size() && wkt[after] == 'S';
        if (zone >= 1 && zone <= 60) {
            if (has(wkt, "ETRS_1989_UTM") && !south && zone >= 28 && zone <= 38)
                return 25800 + zone;
            if (has(wkt, "WGS_1984_UTM")) return (south ? 32700 : 32600) + zone;
        }
    }
    if (!has(wkt, "TRANSVERSE_MERCATOR") && !has(wkt, "GAUSS_KRUGER")) return 0;
    const double meridian = numberAfter(wkt, "\"CENTRAL_MERIDIAN\",");
    const double scale = numberAfter(wkt, "\"SCALE_FACTOR\",");
    const double east = numberAfter(wkt, "\"FALSE_EASTING\",");
    const double north = numberAfter(wkt, "\"FALSE_NORTHING\",");
    const double origin = numberAfter(wkt, "\"LATITUDE_OF_ORIGIN\",");
    if (!std::isfinite(meridian) || !std::isfinite(scale) || !std::isfinite(east)) return 0;
    if (std::isfinite(origin) && origin != 0.0) return 0;
    const double northing = std::isfinite(north) ? north : 0.0;
    auto matches = [&](int code) {
        const std::optional<CoordinateSystem> s = findCoordinateSystem(code);
        return s && std::fabs(s->centralMeridian - meridian) < 1e-9 &&
               std::fabs(s->scale - scale) < 1e-9 && std::fabs(s->falseEasting - east) < 1e-3 &&
               std::fabs(s->falseNorthing - northing) < 1e-3;
    };
    auto first = [&](int from, int to) {
        for (int code = from; code <= to; ++code)
            if (matches(code)) return code;
        return 0;
    };
    if (dhdn) return first(31466, 31469);
    if (etrs) return first(25828, 25838);
    if (wgs) {
        const int code = first(32601, 32660);
        return code ? code : first(32701, 32760);
    }
    return 0;
}

int parseEpsgText(const std::string& text) {
    std::size_t at = 0;
    if (text.size() > 5 && (text[0] == 'E' || text[0] == 'e') &&
        (text[1] == 'P' || text[1] == 'p') && (text[2] == 'S' || text[2] == 's') &&
        (text[3] == 'G' || text[3] == 'g') && text[4] == ':')
        at = 5;
    if (at >= text.size() || text.size() - at > 6) return 0;
    for (std::size_t k = at; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return 0;
    return leadingNumber(text, at);
}

// The projections of both ends (none for a geographic system).
struct CoordinateTransform::Projections {
    std::optional<Tmerc> from, to;
};

namespace {

std::optional<Tmerc> projectionOf(const CoordinateSystem& s) {
    if (s.geographic) return std::nullopt;
    const double b = s.semiMajor * (1.0 - 1.0 / s.inverseFlattening);
    return Tmerc(TmercParameters(spar::proj_etmerc(),
                                 spar::ellps<Spheroid>(Spheroid(s.semiMajor, b)),
                                 spar::lon_0<>(s.centralMeridian), spar::k_0<>(s.scale),
                                 spar::x_0<>(s.falseEasting), spar::y_0<>(s.falseNorthing)));
}

constexpr double Pi = 3.14159265358979323846;
constexpr double Radians = Pi / 180.0;
constexpr double ArcSecond = Pi / (180.0 * 3600.0);

struct Geocentric {
    double x, y, z;
};

Geocentric toGeocentric(double lon, double lat, const CoordinateSystem& s) {
    const double f = 1.0 / s.inverseFlattening;
    const double e2 = f * (2.0 - f);
    const double sinLat = std::sin(lat * Radians), cosLat = std::cos(lat * Radians);
    const double n = s.semiMajor / std::sqrt(1.0 - e2 * sinLat * sinLat);
    return {n * cosLat * std::cos(lon * Radians), n * cosLat * std::sin(lon * Radians),
            n * (1.0 - e2) * sinLat};
}

// Longitude and latitude in degrees (the height above the ellipsoid is
// dropped: the grids lie on it).
void fromGeocentric(const Geocentric& g, const CoordinateSystem& s, double& lon, double& lat) {
    const double f = 1.0 / s.inverseFlattening;
    const double e2 = f * (2.0 - f);
    const double p = std::hypot(g.x, g.y);
    double phi = std::atan2(g.z, p * (1.0 - e2));
    for (int k = 0; k < 6; ++k) {
        const double sinPhi = std::sin(phi);
        const double n = s.semiMajor / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
        const double h = p / std::cos(phi) - n;
        phi = std::atan2(g.z, p * (1.0 - e2 * n / (n + h)));
    }
    lon = std::atan2(g.y, g.x) / Radians;
    lat = phi / Radians;
}

// The seven-parameter shift (position vector) towards WGS 84, or back.
Geocentric helmert(const Geocentric& g, const double (&p)[7], bool toWgs84) {
    const double rx = p[3] * ArcSecond, ry = p[4] * ArcSecond, rz = p[5] * ArcSecond;
    const double m = 1.0 + p[6] * 1e-6;
    if (toWgs84)
        return {m * (g.x - rz * g.y + ry * g.z) + p[0], m * (rz * g.x + g.y - rx * g.z) + p[1],
                m * (-ry * g.x + rx * g.y + g.z) + p[2]};
    const double x = (g.x - p[0]) / m, y = (g.y - p[1]) / m, z = (g.z - p[2]) / m;
    return {x + rz * y - ry * z, -rz * x + y + rx * z, ry * x - rx * y + z};
}

} // namespace

std::optional<CoordinateTransform> CoordinateTransform::between(int fromEpsg, int toEpsg) {
    const std::optional<CoordinateSystem> from = findCoordinateSystem(fromEpsg);
    const std::optional<CoordinateSystem> to = findCoordinateSystem(toEpsg);
    if (!from || !to) return std::nullopt;
    CoordinateTransform t;
    t.from_ = *from;
    t.to_ = *to;
    t.shift_ = from->semiMajor != to->semiMajor || from->inverseFlattening != to->inverseFlattening;
    for (int k = 0; k < 7; ++k)
        t.shift_ = t.shift_ || from->toWgs84[k] != to->toWgs84[k];
    auto p = std::make_shared<Projections>();
    try {
        p->from = projectionOf(*from);
        p->to = projectionOf(*to);
    } catch (const std::exception&) { // the library reports bad parameters so
        return std::nullopt;
    }
    t.projections_ = std::move(p);
    return t;
}

bool CoordinateTransform::apply(double& x, double& y) const {
    if (from_.epsg == to_.epsg) return true;
    double lon = x, lat = y;
    // The library reports points it cannot project by an exception, the
    // only way it has; they end here.
    try {
        if (projections_->from) {
            Degrees geo;
            if (!projections_->from->inverse(Plane(x, y), geo)) return false;
            lon = bg::get<0>(geo);
            lat = bg::get<1>(geo);
        }
        if (!std::isfinite(lon) || !std::isfinite(lat) || std::fabs(lat) > 90.0) return false;
        if (shift_) {
            const Geocentric wgs = helmert(toGeocentric(lon, lat, from_), from_.toWgs84, true);
            fromGeocentric(helmert(wgs, to_.toWgs84, false), to_, lon, lat);
        }
        double outX = lon, outY = lat;
        if (projections_->to) {
            Plane plane;
            if (!projections_->to->forward(Degrees(lon, lat), plane)) return false;
            outX = bg::get<0>(plane);
            outY = bg::get<1>(plane);
        }
        if (!std::isfinite(outX) || !std::isfinite(outY)) return false;
        x = outX;
        y = outY;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
