// The tile generator against writing the same files plainly.
//
// Input, written here into a temporary folder: a 1025 x 1025 Terragen
// terrain with a 10 m grid and a 1024 x 1024 colour bitmap. With the default
// tile settings (400 m tiles every 200 m) that is 2,601 tiles of 41 x 41
// vertices, about 385 MB of models, and the layout that places them.
// Baseline, in the same run: the same number of files of the same sizes,
// each written with one fopen, one fwrite and one fclose.
// Targets: generation at most 1.5 times the baseline; its memory peak at
// most the two rasters plus 32 MiB.
#include "bench/bench_support.h"
#include "bench/heap_count.h"
#include "common/message.h"
#include "generator/generate_tiles.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int TerPoints = 1025;
constexpr int ColourSide = 1024;

// Everything the run wrote: the models and the layout, with their sizes.
std::vector<std::uintmax_t> writtenSizes(const fs::path& dir) {
    std::vector<std::uintmax_t> sizes;
    for (auto& e : fs::recursive_directory_iterator(dir / "Bench"))
        if (e.is_regular_file()) sizes.push_back(e.file_size());
    sizes.push_back(fs::file_size(dir / "Bench.anl"));
    return sizes;
}

double plainWrites(const fs::path& dir, const std::vector<std::uintmax_t>& sizes) {
    std::uintmax_t largest = 0;
    for (auto s : sizes)
        largest = std::max(largest, s);
    std::vector<char> data(largest, 'x');
    fs::create_directories(dir / "Plain");
    BenchClock::time_point start = BenchClock::now();
    int n = 0;
    for (auto s : sizes) {
        char name[32];
        std::snprintf(name, sizeof name, "f%d.mod", n++);
        fs::path path = dir / "Plain" / name;
        std::FILE* f = std::fopen(path.string().c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, s, f) != s || std::fclose(f) != 0) std::abort();
    }
    return millisecondsSince(start);
}

} // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / "zumt_bench_generator";
    fs::remove_all(dir);
    fs::create_directory(dir);
    fs::current_path(dir);
#ifndef _WIN32
    unsetenv("ZUMT_HOST_DIR");
#endif
    // Gentle hills, and a colour that changes with them.
    if (!writeBenchTerrain("bench.ter", TerPoints, 10.0f,
                           [](int x, int y) {
                               return static_cast<std::int16_t>(8000 * std::sin(x / 90.0) *
                                                                std::cos(y / 70.0));
                           }) ||
        !writeBenchBitmap("bench.bmp", ColourSide, ColourSide, [](int x, int y) {
            return static_cast<std::uint32_t>(((x & 0xFF) << 16) | ((y & 0xFF) << 8) | 0x80);
        }))
        return 1;

    SettingsFile settings;
    settings.parse("[Terrain1]\nHoehe=bench.ter\nFarbe=bench.bmp\nName=Bench\n");
    int messages = 0;
    setMessageSink([&](const std::string& text) {
        ++messages;
        std::fprintf(stderr, "%s", text.c_str());
    });

    const double rasters = 2.0 * TerPoints * TerPoints + 3.0 * ColourSide * ColourSide;
    const bool resident = resetResidentPeak();
    const std::size_t rss0 = statusBytes("VmRSS:");
    const std::size_t live0 = heapLive();
    resetHeapPeak();

    std::vector<double> generated, plain;
    std::size_t heap = 0, residentPeak = 0;
    std::vector<std::uintmax_t> sizes;
    for (int round = 0; round < 3; ++round) {
        BenchClock::time_point start = BenchClock::now();
        if (generateTiles(settings, std::string("Bench.anl")) != 1 || messages != 0) return 1;
        generated.push_back(millisecondsSince(start));
        if (round == 0) {
            heap = heapPeak() - live0;
            if (resident) residentPeak = statusBytes("VmHWM:") - rss0;
            sizes = writtenSizes(dir);
        }
        plain.push_back(plainWrites(dir, sizes));
    }

    std::uintmax_t total = 0;
    for (auto s : sizes)
        total += s;
    const double mib = 1024.0 * 1024.0;
    std::printf("Tile generator, %zu files, %.1f MB\n", sizes.size(),
                static_cast<double>(total) / 1e6);
    std::printf("  plain writes %9.1f ms (median of 3)\n", median(plain));
    std::printf("  generation   %9.1f ms (median of 3)  ratio %.2f  (target <= 1.50)\n",
                median(generated), median(generated) / median(plain));
    const auto heapBytes = static_cast<double>(heap);
    std::printf("  rasters %.2f MiB; heap peak %.2f MiB (+%.2f MiB)", rasters / mib,
                heapBytes / mib, (heapBytes - rasters) / mib);
    if (residentPeak)
        std::printf("; resident peak growth %.2f MiB", static_cast<double>(residentPeak) / mib);
    std::printf("  (target <= +32 MiB)\n");

    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
