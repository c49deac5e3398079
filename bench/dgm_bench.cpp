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
//
// Target: the conversion at least ten times faster than GDAL (gdalbuildvrt
// + gdal_translate -of Terragen, timed by the script), its memory peak at
// most the output grid (5000 × 5000 floats) plus 64 MiB.
#include "bench/heap_count.h"
#include "common/file_messages.h"
#include "dgm/dgm_program.h"
#include "platform/platform.h"

#include <chrono>
#include <cmath>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "write") return writeTiles(argv[2]);
    if (mode == "read") return readTiles(argv[2]);
    if (mode == "convert" && argc >= 4) return convert(argv[2], argv[3]);
    std::fprintf(stderr, "usage: zumt_bench_dgm write|read FOLDER | convert FOLDER OUT.ter\n");
    return 2;
}
