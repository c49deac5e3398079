#include "bench/bench_support.h"

#include "common/file_messages.h"
#include "platform/platform.h"
#include "raster/bitmap_writer.h"
#include "raster/terragen_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

double millisecondsSince(const BenchClock::time_point& start) {
    return std::chrono::duration<double, std::milli>(BenchClock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t statusBytes(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::strtoull(line.c_str() + std::strlen(key), nullptr, 10) * 1024;
    return 0;
}

bool resetResidentPeak() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    bool ok = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

bool writeBenchTerrain(const std::string& path, int points, float scaleMetres,
                       const std::function<std::int16_t(int, int)>& sample) {
    TerragenHeader h;
    h.xpts = h.ypts = static_cast<std::uint16_t>(points);
    h.scaleX = h.scaleY = scaleMetres;
    h.scaleZ = 1.0f;
    h.heightScale = 2000;
    h.baseHeight = 100;
    h.pointChunks = false; // square: "SIZE" alone gives the shape
    return writeFileSafely(path, encodeTerragenFile(h, [&](std::size_t y, std::int16_t* samples) {
                               for (int x = 0; x < points; ++x)
                                   samples[x] = sample(x, static_cast<int>(y));
                           }));
}

bool writeBenchBitmap(const std::string& path, int width, int height,
                      const std::function<std::uint32_t(int, int)>& pixel) {
    const auto rows = [&](std::int32_t y, std::uint8_t* bytes) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = pixel(x, y);
            *bytes++ = static_cast<std::uint8_t>(v >> 16);
            *bytes++ = static_cast<std::uint8_t>(v >> 8);
            *bytes++ = static_cast<std::uint8_t>(v);
        }
    };
    return writeFileSafely(path, encodeBitmapFile(width, height, rows, BitmapExtras{false, 0}));
}

TrackRecord benchTrack(int i, Point3 start, Point3 end) {
    static constexpr int Codes[] = {1, 2, 3, 4, 6, 7, 8, 9, 11, 2};
    TrackRecord t;
    t.id = static_cast<std::int16_t>(i % 32000 + 1);
    t.name = "Gleis " + std::to_string(i);
    t.type = Codes[i % 10];
    t.updateConnectionCount();
    if (t.type >= 6 && t.type <= 9) t.variant = 1;
    if (t.type == 6) t.text2 = "Signal";
    if (t.type == 11) {
        t.connectionCount = 6;
        t.connections[2] = {5, 1};
        t.connections[4] = {6, 0};
    }
    t.start = start;
    t.end = end;
    t.direction = {1.0f, 0.0f, 0.0f};
    t.connections[0] = {static_cast<std::int16_t>(i % 1000), 1};
    t.connections[1] = {static_cast<std::int16_t>(i % 999), 0};
    return t;
}

bool attachBenchObject(ObjectRecord& o, int j, const Layout& layout) {
    const std::size_t n = layout.tracks.size();
    const TrackRecord& t = layout.tracks[static_cast<std::size_t>(j) % n];
    // Track indexes ending in 1 or 9 carry code 2: one open end.
    const TrackRecord& open = layout.tracks[static_cast<std::size_t>(j / 10 * 10 + 1) % n];
    if (j % 10 == 3) {
        o.path = "..\\Bruecken\\Stahl";
        const Point3 m = t.midpoint();
        o.position = {m.x, m.y, 0};
        o.direction = t.direction;
        return true;
    }
    if (j % 10 == 7) {
        o.path = "..\\Prellbock";
        const Point3 p = open.bufferStopPosition();
        o.position = {p.x, p.y, 0};
        o.direction = open.endDirection();
        return true;
    }
    return false;
}

Layout benchLayout(int tracks, int objects, int entries) {
    Layout layout;
    for (int i = 0; i < tracks; ++i) {
        const std::int32_t x = (i % 200) * 1000;
        const std::int32_t y = (i / 200) * 1000;
        layout.tracks.push_back(
            benchTrack(i, {x, y, 100}, {x + 600 + i % 7 * 50, y + 300 * (i % 3), 120}));
    }
    for (int j = 0; j < objects; ++j) {
        ObjectRecord o;
        o.id = static_cast<std::int16_t>(j % 32000 + 1);
        o.param1 = o.param2 = 100;
        if (attachBenchObject(o, j, layout)) {
            // a bridge or a buffer stop, on its track
        } else if (j % 50 == 11) {
            o = layout.objects[static_cast<std::size_t>(j - 1)];
        } else {
            o.path = "Berge\\bmp" + std::to_string(j % 173) + "_" + std::to_string(j / 173);
            o.position = {j * 10, -j * 10, -100};
            o.direction = {1.0f, 0.0f, 0.0f};
        }
        layout.objects.push_back(o);
    }
    for (int e = 0; e < entries; ++e) {
        EntryRecord r;
        r.id = static_cast<std::int16_t>(e + 1);
        r.name = "Eintrag " + std::to_string(e);
        r.text2 = "zwei";
        r.tail = {e, 1, 2};
        layout.entries.push_back(r);
    }
    for (auto& camera : layout.cameras)
        camera.setDefault();
    return layout;
}
