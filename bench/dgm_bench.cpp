// zumt_dgm on a real-sized tile set, driven by bench/dgm_bench.sh.
//
//   zumt_bench_dgm write FOLDER   writes 25 XYZ tiles of 1000 × 1000 points
//                                 (1 m, north row first, "x y z" with two
//                                 decimals, about 700 MB) and prints the
//                                 lowest and highest height
//   zumt_bench_dgm read FOLDER    the baseline: reads every tile's bytes
//   zumt_bench_dgm convert FOLDER OUT.ter
//                                 zumt_dgm on the tiles, in this process,
//                                 with its heap peak
//   zumt_bench_dgm stages FOLDER N
//                                 the steps of a conversion of the first N
//                                 tiles timed one by one, on one core:
//                                 read (parse), join (the mosaic), fill,
//                                 resample, encode the ".ter"
//
// Target: the conversion at least ten times faster than GDAL (gdalbuildvrt
// + gdal_translate -of Terragen, timed by the script), its memory peak at
// most the output grid (5000 × 5000 floats) plus 64 MiB.
#include "bench/heap_count.h"
#include "common/file_messages.h"
#include "dgm/dgm_program.h"
#include "dgm/elevation_grid.h"
#include "dgm/terrain_grid.h"
#include "dgm/terrain_writer.h"
#include "platform/platform.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Tiles = 5;         // per side
constexpr int TilePoints = 1000; // per side of a tile

double heightAt(double x, double y) {
    return 400.0 + 80.0 * std::sin(x / 700.0) * std::cos(y / 900.0) +
           15.0 * std::sin((x + y) / 90.0);
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string tileName(const std::string& folder, int i, int j) {
    return folder + "/dgm_" + std::to_string(i) + "_" + std::to_string(j) + ".xyz";
}

int writeTiles(const std::string& folder) {
    double low = 1e9, high = -1e9;
    std::string text;
    for (int j = 0; j < Tiles; ++j)
        for (int i = 0; i < Tiles; ++i) {
            text.clear();
            for (int r = TilePoints - 1; r >= 0; --r)
                for (int c = 0; c < TilePoints; ++c) {
                    const int x = i * TilePoints + c, y = j * TilePoints + r;
                    const double z = std::round(heightAt(x, y) * 100.0) / 100.0;
                    low = std::min(low, z);
                    high = std::max(high, z);
                    char line[64];
                    const int n = std::snprintf(line, sizeof line, "%d.00 %d.00 %.2f\n", 500000 + x,
                                                5400000 + y, z);
                    text.append(line, static_cast<std::size_t>(n));
                }
            if (!writeFileSafely(tileName(folder, i, j), text.data(), text.size(),
                                 Durability::Replaceable))
                return 1;
        }
    std::printf("%.2f %.2f\n", low, high);
    return 0;
}

int readTiles(const std::string& folder) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t bytes = 0;
    std::vector<std::uint8_t> data;
    for (int j = 0; j < Tiles; ++j)
        for (int i = 0; i < Tiles; ++i) {
            if (!readWholeFile(tileName(folder, i, j), data)) return 1;
            bytes += data.size();
        }
    std::printf("plain read: %.2f s for %.0f MB\n", seconds(start),
                static_cast<double>(bytes) / 1e6);
    return 0;
}

int convert(const std::string& folder, const std::string& out) {
    std::vector<std::string> args = {"zumt_dgm", "-q", "-o", out};
    for (int j = 0; j < Tiles; ++j)
        for (int i = 0; i < Tiles; ++i)
            args.push_back(tileName(folder, i, j));
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    resetHeapPeak();
    const std::size_t before = heapLive();
    const auto start = std::chrono::steady_clock::now();
    const int code = dgmMain(static_cast<int>(args.size()), argv.data());
    const double grid = 5000.0 * 5000.0 * 4 / 1048576.0;
    const double peak = static_cast<double>(heapPeak() - before) / 1048576.0;
    std::printf("zumt_dgm: %.2f s, heap peak %.1f MiB (output grid %.1f MiB + %.1f MiB)\n",
                seconds(start), peak, grid, peak - grid);
    return code;
}

// Where the time of a conversion goes when nothing runs beside it: what
// two cores can shorten (reading) against what stays serial.
int stages(const std::string& folder, int n) {
    std::vector<std::string> names;
    for (int j = 0; j < Tiles && static_cast<int>(names.size()) < n; ++j)
        for (int i = 0; i < Tiles && static_cast<int>(names.size()) < n; ++i)
            names.push_back(tileName(folder, i, j));
    auto start = std::chrono::steady_clock::now();
    std::vector<ElevationGrid> grids(names.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        if (!readElevationFile(names[k], grids[k])) return 1;
    const double read = seconds(start);
    start = std::chrono::steady_clock::now();
    Mosaic mosaic;
    for (std::size_t k = 0; k < names.size(); ++k)
        if (!mosaic.add(grids[k], names[k])) return 1;
    RowGrid grid = mosaic.take();
    const double join = seconds(start);
    start = std::chrono::steady_clock::now();
    fillHoles(grid);
    const double fill = seconds(start);
    start = std::chrono::steady_clock::now();
    const MetricFrame frame = metricFrameFor(grid);
    const std::int32_t stepCm = naturalStepCm(grid, frame);
    RowGrid metric = resampleToMetric(std::move(grid), frame, stepCm / 100.0);
    const double resample = seconds(start);
    start = std::chrono::steady_clock::now();
    const std::vector<std::uint8_t> ter = encodeTerrain(std::move(metric), stepCm);
    const double encode = seconds(start);
    std::printf("%zu tiles: read %.3f s, join %.3f s, fill %.3f s, resample %.3f s, "
                "encode %.3f s (%.1f MB)\n",
                names.size(), read, join, fill, resample, encode,
                static_cast<double>(ter.size()) / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "write") return writeTiles(argv[2]);
    if (mode == "read") return readTiles(argv[2]);
    if (mode == "convert" && argc >= 4) return convert(argv[2], argv[3]);
    if (mode == "stages" && argc >= 4) return stages(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: zumt_bench_dgm write|read FOLDER | convert FOLDER OUT.ter | "
                         "stages FOLDER N\n");
    return 2;
}
