// Writes the sample data under examples/: a Terragen terrain of gentle hills
// with a valley, the matching height bitmap, a colour bitmap shaded from the
// heights, the generator's settings, and a small layout of track with its
// settings and "hoehen.ini". Everything is computed here; nothing comes
// from anywhere else.
//
// The same landscape as survey data, for zumt_dgm: four adjacent XYZ tiles
// at 20 m with a hole, in a projected system (x east 500000 m, y north
// 5400000 m at the south-west corner), and an orthophoto of it (PNG, 10 m
// pixels, with its world file) that carries a red marker on the ridge.
//
//   zumt_make_examples FOLDER
#include "common/file_messages.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/bitmap_writer.h"
#include "raster/terragen_writer.h"
#include "settings/settings_file.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Points = 257; // terrain samples per side: 256 grid steps
constexpr float GridMetres = 10.0f;
constexpr int Side = Points - 1; // pixels per side of the bitmaps
constexpr double Pi = 3.14159265358979323846;

// The landscape in metres at grid point (x, y): a plain at about 120 m with
// gentle hills, a ridge in the north and a valley winding from west to east.
double terrainMetres(double x, double y) {
    double hills = 14.0 * std::sin(x / 23.0) * std::cos(y / 29.0) + 6.0 * std::sin((x + y) / 11.0);
    double ridge = 28.0 * std::exp(-std::pow((y - 225.0) / 28.0, 2.0));
    double river = 128.0 + 26.0 * std::sin(x / 41.0);
    double valley = -24.0 * std::exp(-std::pow((y - river) / 16.0, 2.0));
    return 120.0 + hills + ridge + valley;
}

// Terragen samples: height = (BaseHeight + sample * HeightScale / 65536) m
// with a vertical scale of 1 m.
constexpr std::int16_t BaseHeight = 100;
constexpr std::int16_t HeightScale = 100;

std::int16_t sampleOf(double metres) {
    double s = std::round((metres - BaseHeight) * 65536.0 / HeightScale);
    return static_cast<std::int16_t>(std::clamp(s, -32768.0, 32767.0));
}

double sampleMetres(int x, int y) {
    return BaseHeight + sampleOf(terrainMetres(x, y)) * static_cast<double>(HeightScale) / 65536.0;
}

std::vector<std::uint8_t> terragenFile() {
    TerragenHeader h;
    h.xpts = h.ypts = Points;
    h.scaleX = h.scaleY = GridMetres;
    h.scaleZ = 1.0f;
    h.heightScale = HeightScale;
    h.baseHeight = BaseHeight;
    return encodeTerragenFile(h, [](std::size_t y, std::int16_t* samples) {
        for (int x = 0; x < Points; ++x)
            samples[x] = sampleOf(terrainMetres(x, static_cast<double>(y)));
    });
}

// A 24-bit bitmap, rows in file order; pixel gives blue, green, red.
struct Rgb {
    std::uint8_t blue, green, red;
};

// 96 dpi (3780 pixels a metre) in the resolution fields, as the examples
// were first written.
template <class Pixel>
std::vector<std::uint8_t> bitmapFile(int width, int height, Pixel pixel) {
    return encodeBitmapFile(
        width, height,
        [&](std::int32_t y, std::uint8_t* bytes) {
            for (int x = 0; x < width; ++x) {
                const Rgb c = pixel(x, y);
                *bytes++ = c.blue;
                *bytes++ = c.green;
                *bytes++ = c.red;
            }
        },
        BitmapExtras{true, 3780});
}

// The height of a pixel: the mean of the four samples at its corners.
double pixelMetres(int x, int y) {
    return (sampleMetres(x, y) + sampleMetres(x + 1, y) + sampleMetres(x, y + 1) +
            sampleMetres(x + 1, y + 1)) /
           4.0;
}

// A height bitmap stores the height in cm plus 10000 as a 24-bit number, the
// first stored byte most significant.
Rgb heightPixel(int x, int y) {
    auto v = static_cast<std::uint32_t>(std::lround(pixelMetres(x, y) * 100.0) + 10000);
    return Rgb{static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
               static_cast<std::uint8_t>(v)};
}

// Meadow green in the valley, through field brown to rock grey on the ridge,
// the river blue, lit from the north-west.
Rgb colourPixel(int x, int y) {
    double h = pixelMetres(x, y);
    double dx = pixelMetres(std::min(x + 1, Side - 1), y) - pixelMetres(std::max(x - 1, 0), y);
    double dy = pixelMetres(x, std::min(y + 1, Side - 1)) - pixelMetres(x, std::max(y - 1, 0));
    double light = std::clamp(0.85 + (dx - dy) * 0.06, 0.55, 1.15);
    double t = std::clamp((h - 96.0) / 60.0, 0.0, 1.0);
    double r = 70 + 120 * t, g = 130 + 40 * t - 30 * t * t, b = 50 + 90 * t * t;
    double river = 128.0 + 26.0 * std::sin(x / 41.0);
    if (std::abs(y - river) < 2.5) {
        r = 60;
        g = 110;
        b = 190;
    }
    auto c = [&](double v) { return static_cast<std::uint8_t>(std::clamp(v * light, 0.0, 255.0)); };
    return Rgb{c(b), c(g), c(r)};
}

// ---- the sample layout ----------------------------------------------------

// Terrain grid point to layout cm: the grid lies centred on the origin.
constexpr std::int32_t GridCm = 1000;

TrackRecord track(std::int16_t id, const char* name, std::int32_t type, Point3 start, Point3 end,
                  Vector3 direction) {
    TrackRecord t;
    t.id = id;
    t.name = name;
    t.type = type;
    t.start = start;
    t.end = end;
    t.direction = direction;
    t.updateConnectionCount();
    return t;
}

void connect(TrackRecord& t, int slot, std::int16_t peer, std::int16_t peerEnd) {
    t.connections[static_cast<std::size_t>(slot)] = TrackConnection{peer, peerEnd};
}

ObjectRecord object(std::int16_t id, const std::string& path, Point3 at, Vector3 direction) {
    ObjectRecord o;
    o.id = id;
    o.path = path;
    o.position = at;
    o.direction = direction;
    o.param1 = 100;
    o.param2 = 100;
    return o;
}

Vector3 unit(double dx, double dy) {
    double n = std::sqrt(dx * dx + dy * dy);
    return Vector3{static_cast<float>(dx / n), static_cast<float>(dy / n), 0.0f};
}

// A loop of track around the middle of the terrain: straights, curves (a
// track whose direction does not point at its end is an arc), two switches,
// a dead-end siding with a buffer stop and a bridge where the loop crosses
// the valley. Heights are left at 0: zumt_hoehen fits them.
Layout sampleLayout() {
    Layout l;
    const Vector3 east{1, 0, 0}, west{-1, 0, 0}, north{0, 1, 0}, south{0, -1, 0};
    auto& t = l.tracks;
    t.push_back(track(1, "Gerade Sued", 1, {-40000, -40000, 0}, {40000, -40000, 0}, east));
    t.push_back(track(2, "Bogen Suedost", 1, {40000, -40000, 0}, {60000, -20000, 0}, east));
    t.push_back(track(3, "Talbruecke", 1, {60000, -20000, 0}, {60000, 30000, 0}, north));
    t.push_back(track(4, "Bogen Nordost", 1, {60000, 30000, 0}, {40000, 50000, 0}, north));
    t.push_back(track(5, "Weiche Bahnhof", 3, {40000, 50000, 0}, {0, 50000, 0}, west));
    t.push_back(track(6, "Gerade Nord", 1, {0, 50000, 0}, {-40000, 50000, 0}, west));
    t.push_back(track(7, "Bogen Nordwest", 1, {-40000, 50000, 0}, {-60000, 30000, 0}, west));
    t.push_back(track(8, "Kreuzungsweiche", 4, {-60000, 30000, 0}, {-60000, -20000, 0}, south));
    t.push_back(track(9, "Bogen Suedwest", 1, {-60000, -20000, 0}, {-40000, -40000, 0}, south));
    t.push_back(
        track(10, "Stumpfgleis", 2, {40000, 50000, 0}, {10000, 65000, 0}, unit(-30000, 15000)));
    // Not along an axis: the tiny sine of a half turn is not the same in
    // every maths library, and the buffer stop must link on every build.
    t.push_back(
        track(11, "Abstellgleis", 2, {-60000, 5000, 0}, {-85000, -7000, 0}, unit(-25000, -12000)));
    for (int i = 0; i < 9; ++i) {
        connect(t[static_cast<std::size_t>(i)], 0, static_cast<std::int16_t>(i == 0 ? 9 : i), 1);
        connect(t[static_cast<std::size_t>(i)], 1, static_cast<std::int16_t>(i == 8 ? 1 : i + 2),
                0);
    }
    connect(t[4], 2, 10, 0);
    connect(t[9], 0, 5, 2);
    connect(t[7], 2, 11, 0);
    connect(t[7], 3, 0, 0);
    t[4].setting1 = 1;
    t[7].setting1 = 1;
    t[7].setting2 = 2;
    connect(t[10], 0, 8, 2);

    auto& o = l.objects;
    std::int16_t id = 1;
    o.push_back(object(id++, "..\\Prellbock", t[9].bufferStopPosition(), t[9].endDirection()));
    o.push_back(object(id++, "..\\Prellbock", t[10].bufferStopPosition(), t[10].endDirection()));
    o.push_back(object(id++, "..\\Bruecken\\Stahlbruecke", t[2].midpoint(), t[2].direction));
    o.push_back(object(id++, "Bahnhof", {20000, 56000, 0}, east));
    o.push_back(object(id++, "Signal", {-20000, -37000, 0}, west));
    o.push_back(object(id++, "Signal", {30000, 47000, 0}, east));
    o.push_back(object(id++, "Tanne", {-75000, 70000, 0}, east));
    o.push_back(object(id++, "Tanne", {-71000, 74000, 0}, east));
    o.push_back(object(id++, "Tanne", {80000, -60000, 0}, east));
    o.push_back(object(id++, "..\\Haeuser\\Kirche", {-20000, 90000, 0}, south));

    l.cameras[0].setDefault();
    const Point3 places[4] = {{0, -80000, 0}, {90000, 0, 0}, {0, 90000, 0}, {-90000, 10000, 0}};
    for (int i = 1; i < 5; ++i) {
        CameraRecord& c = l.cameras[static_cast<std::size_t>(i)];
        c.position = places[i - 1];
        double a = std::atan2(-places[i - 1].y, -places[i - 1].x);
        c.direction = Vector3{static_cast<float>(std::cos(a) * 0.98),
                              static_cast<float>(std::sin(a) * 0.98), -0.2f};
        c.param1 = 38;
        c.param2 = 47200;
    }
    l.properties.colourA = {204, 230, 255};
    return l;
}

// ---- the survey data -------------------------------------------------------
constexpr int DgmEast = 500000, DgmNorth = 5400000; // the south-west point
constexpr int DgmStep = 20;                         // metres
constexpr int DgmPoints = Side * 10 / DgmStep + 1;  // per side
constexpr int MarkerX = 128, MarkerY = 225;         // grid point of the marker

// One tile: the points of columns [i0, i1) and rows [j0, j1) (rows counted
// from the south), listed north row first as surveys do; the points within
// 50 m of (1800 m, 1900 m) are missing.
std::vector<std::uint8_t> xyzTile(int i0, int i1, int j0, int j1) {
    std::string text;
    for (int j = j1 - 1; j >= j0; --j)
        for (int i = i0; i < i1; ++i) {
            const int x = i * DgmStep, y = j * DgmStep;
            if (std::hypot(x - 1800, y - 1900) < 50.0) continue;
            char line[64];
            std::snprintf(line, sizeof line, "%d %d %.2f\n", DgmEast + x, DgmNorth + y,
                          terrainMetres(x / 10.0, y / 10.0));
            text += line;
        }
    return {text.begin(), text.end()};
}

// The orthophoto: pixel (i, j), j from the top, shows the colour bitmap's
// pixel (i, Side - 1 - j); its centre is grid point (i, Side - 1 - j).
std::vector<std::uint8_t> orthophoto() {
    std::vector<std::uint8_t> rgb;
    for (int j = 0; j < Side; ++j)
        for (int i = 0; i < Side; ++i) {
            Rgb c = colourPixel(i, Side - 1 - j);
            if (std::abs(i - MarkerX) <= 2 && std::abs(Side - 1 - j - MarkerY) <= 2)
                c = Rgb{0, 0, 250};
            rgb.insert(rgb.end(), {c.red, c.green, c.blue});
        }
    std::vector<std::uint8_t> png;
    stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            out->insert(out->end(), static_cast<std::uint8_t*>(data),
                        static_cast<std::uint8_t*>(data) + size);
        },
        &png, Side, Side, 3, rgb.data(), Side * 3);
    return png;
}

bool writeText(const std::string& path, const char* text) {
    SettingsFile s;
    s.parse(text);
    return s.write(path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zumt_make_examples FOLDER\n");
        return 1;
    }
    const std::string dir = std::string(argv[1]) + "/";
    std::vector<std::uint8_t> image;
    Layout layout = sampleLayout();
    bool ok = writeFileSafely(dir + "gelaende.ter", terragenFile()) &&
              writeFileSafely(dir + "hoehe.bmp", bitmapFile(Side, Side, heightPixel)) &&
              writeFileSafely(dir + "farbe.bmp", bitmapFile(Side, Side, colourPixel)) &&
              writeText(dir + "Demo.danl", "[Terrain1]\n"
                                           "Name=Demo\n"
                                           "Hoehe=gelaende.ter\n"
                                           "Farbe=farbe.bmp\n"
                                           "Faktor=1.0\n") &&
              writeText(dir + "Strecke.danl", "[Terrain1]\n"
                                              "Hoehe=gelaende.ter\n"
                                              "Farbe=farbe.bmp\n"
                                              "Faktor=1.0\n") &&
              writeText(dir + "hoehen.ini", "[Zumt]\n"
                                            "Alles=1\n"
                                            "DZ=0.0\n"
                                            "[DZ]\n"
                                            "Gleise=0.02\n"
                                            "Kameras=1.7\n"
                                            "Signal=0.5\n") &&
              layout.save(dir + "Strecke.anl");
    const int half = DgmPoints / 2;
    ok = ok && writeFileSafely(dir + "dgm_sw.xyz", xyzTile(0, half, 0, half)) &&
         writeFileSafely(dir + "dgm_so.xyz", xyzTile(half, DgmPoints, 0, half)) &&
         writeFileSafely(dir + "dgm_nw.xyz", xyzTile(0, half, half, DgmPoints)) &&
         writeFileSafely(dir + "dgm_no.xyz", xyzTile(half, DgmPoints, half, DgmPoints)) &&
         writeFileSafely(dir + "luftbild.png", orthophoto());
    // World file: pixel size x, two rotation terms, pixel size y (negative:
    // rows run south), then the centre of the top-left pixel.
    char world[160];
    std::snprintf(world, sizeof world, "10.0\r\n0.0\r\n0.0\r\n-10.0\r\n%d.0\r\n%d.0\r\n", DgmEast,
                  DgmNorth + (Side - 1) * 10);
    ok = ok && writeFileSafely(dir + "luftbild.pgw", world, std::strlen(world));
    return ok ? 0 : 1;
}
