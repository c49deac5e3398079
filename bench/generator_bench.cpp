// The tile generator against writing the same files plainly.
//
// Input: a 1025 x 1025 Terragen terrain with a 10 m grid and a 1024 x 1024
// colour bitmap. With the default tile settings (400 m tiles every 200 m)
// that is 2,601 tiles of 41 x 41 vertices, about 380 MB of models, and the
// layout that places them. Baseline: the same number of files of the same
// sizes, each written with one fopen, one fwrite and one fclose.
//
// Single runs say little: the disk's writeback of the run before decides
// them. So the two sides run in five pairs, taking turns at going first,
// each into a fresh folder after a sync, and the medians are compared. A
// tmpfs shows the program's own cost, which a disk can hide or blur.
//
//   zumt_bench_generator [folder ...]
// runs in each folder given; without one, in the temporary folder (a disk
// here) and in /dev/shm (a tmpfs), where there is one.
// Targets: generation at most 1.5 times the baseline on a tmpfs; its heap
// peak at most the two rasters plus 32 MiB.
#include "bench/bench_support.h"
#include "bench/heap_count.h"
#include "common/message.h"
#include "generator/generate_tiles.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int TerPoints = 1025;
constexpr int ColourSide = 1024;
constexpr int Pairs = 5;

// Everything a run wrote: the models and the layout, with their sizes.
std::vector<std::uintmax_t> writtenSizes(const fs::path& dir) {
    std::vector<std::uintmax_t> sizes;
    for (auto& e : fs::recursive_directory_iterator(dir / "Bench"))
        if (e.is_regular_file()) sizes.push_back(e.file_size());
    sizes.push_back(fs::file_size(dir / "Bench.anl"));
    return sizes;
}

// A fresh, empty folder, with the earlier runs' files gone and everything
// on its way to the disk before the clock starts.
fs::path freshFolder(const fs::path& runs, const std::string& name) {
    fs::remove_all(runs);
    fs::create_directories(runs / name);
#ifndef _WIN32
    sync();
#endif
    return runs / name;
}

// A side's time, and the processor time of all its threads, user and
// system (on Linux): on a busy machine the wall time follows the load, the
// processor time follows the work.
struct Timing {
    double wallMs = 0.0;
    double cpuMs = 0.0;
};

class Stopwatch {
  public:
    Timing stop() const {
        return {millisecondsSince(start_),
                1000.0 * static_cast<double>(std::clock() - cpu_) / CLOCKS_PER_SEC};
    }

  private:
    BenchClock::time_point start_ = BenchClock::now();
    std::clock_t cpu_ = std::clock();
};

Timing generation(const fs::path& dir, const SettingsFile& settings) {
    fs::current_path(dir);
    Stopwatch clock;
    if (generateTiles(readTerrainValues(settings), std::string("Bench.anl")) != 1) std::exit(1);
    return clock.stop();
}

Timing plainWrites(const fs::path& dir, const std::vector<std::uintmax_t>& sizes,
                   const std::vector<char>& data) {
    Stopwatch clock;
    fs::create_directory(dir / "Plain");
    int n = 0;
    for (auto s : sizes) {
        char name[32];
        std::snprintf(name, sizeof name, "f%d.mod", n++);
        const std::string path = (dir / "Plain" / name).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, s, f) != s || std::fclose(f) != 0) std::exit(1);
    }
    return clock.stop();
}

// The five pairs in one folder; prints the medians and their ratio.
void comparePairs(const fs::path& base, const SettingsFile& settings,
                  const std::vector<std::uintmax_t>& sizes) {
    std::uintmax_t largest = 0;
    for (auto s : sizes)
        largest = std::max(largest, s);
    const std::vector<char> data(largest, 'x');
    const fs::path runs = base / "zumt_bench_generator_runs";
    std::vector<double> generated, plain, generatedCpu, plainCpu;
    for (int pair = 0; pair < Pairs; ++pair) {
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == (pair % 2 == 0)) {
                const Timing t = generation(freshFolder(runs, "gen"), settings);
                generated.push_back(t.wallMs);
                generatedCpu.push_back(t.cpuMs);
            } else {
                const Timing t = plainWrites(freshFolder(runs, "plain"), sizes, data);
                plain.push_back(t.wallMs);
                plainCpu.push_back(t.cpuMs);
            }
        }
    }
    fs::current_path(base);
    fs::remove_all(runs);
    std::printf("  %s (medians of %d pairs)\n", base.string().c_str(), Pairs);
    std::printf("    plain writes %8.1f ms, generation %8.1f ms: ratio %.2f\n", median(plain),
                median(generated), median(generated) / median(plain));
    std::printf("    processor    %8.1f ms, generation %8.1f ms\n", median(plainCpu),
                median(generatedCpu));
}

} // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> folders;
    for (int i = 1; i < argc; ++i)
        folders.emplace_back(argv[i]);
    if (folders.empty()) {
        folders.push_back(fs::temp_directory_path());
        if (fs::is_directory("/dev/shm")) folders.emplace_back("/dev/shm");
    }
    const fs::path input = fs::temp_directory_path() / "zumt_bench_generator";
    fs::remove_all(input);
    fs::create_directory(input);
#ifndef _WIN32
    unsetenv("ZUMT_HOST_DIR");
#endif
    // Gentle hills, and a colour that changes with them.
    const std::string ter = (input / "bench.ter").string(), bmp = (input / "bench.bmp").string();
    if (!writeBenchTerrain(ter, TerPoints, 10.0f,
                           [](int x, int y) {
                               return static_cast<std::int16_t>(8000 * std::sin(x / 90.0) *
                                                                std::cos(y / 70.0));
                           }) ||
        !writeBenchBitmap(bmp, ColourSide, ColourSide, [](int x, int y) {
            return static_cast<std::uint32_t>(((x & 0xFF) << 16) | ((y & 0xFF) << 8) | 0x80);
        }))
        return 1;

    SettingsFile settings;
    settings.parse("[Terrain1]\nHoehe=" + ter + "\nFarbe=" + bmp + "\nName=Bench\n");
    setMessageSink([](const std::string& text) {
        std::fprintf(stderr, "%s", text.c_str());
        std::exit(1);
    });

    // A first run, not timed: the sizes of its files, and the memory peak.
    const double rasters = 2.0 * TerPoints * TerPoints + 3.0 * ColourSide * ColourSide;
    const bool resident = resetResidentPeak();
    const std::size_t rss0 = statusBytes("VmRSS:");
    const std::size_t live0 = heapLive();
    resetHeapPeak();
    generation(input, settings);
    const auto heap = static_cast<double>(heapPeak() - live0);
    const std::size_t residentPeak = resident ? statusBytes("VmHWM:") - rss0 : 0;
    const std::vector<std::uintmax_t> sizes = writtenSizes(input);
    std::uintmax_t total = 0;
    for (auto s : sizes)
        total += s;

    std::printf("Tile generator, %zu files, %.1f MB (target: ratio <= 1.50 on a tmpfs)\n",
                sizes.size(), static_cast<double>(total) / 1e6);
    for (const fs::path& folder : folders)
        comparePairs(folder, settings, sizes);
    const double mib = 1024.0 * 1024.0;
    std::printf("  rasters %.2f MiB; heap peak %.2f MiB (+%.2f MiB)", rasters / mib, heap / mib,
                (heap - rasters) / mib);
    if (residentPeak)
        std::printf("; resident peak growth %.2f MiB", static_cast<double>(residentPeak) / mib);
    std::printf("  (target <= +32 MiB)\n");

    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(input, ec);
    return 0;
}
