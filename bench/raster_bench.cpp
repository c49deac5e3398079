// Construction of the height sources against the plainest possible read.
//
// Files: a 4097 × 4097 Terragen terrain (about 32 MiB) and a 4096 × 4096
// 24-bit height bitmap (48 MiB), written here into a temporary folder.
// Baseline, in the same run: the file's bytes read into a fresh buffer of
// its size with one read. Target: constructing a source (read, checks and
// the min/max scan) takes at most 2 times the baseline, and its memory peak
// is at most the raster's size plus 1 MiB.
//
// Memory is counted twice: every heap block the construction allocates
// through operator new (peak of the live bytes), and on Linux the peak of
// the resident set (VmHWM after resetting it), which also sees the C
// library's own buffers.
#include "bench/bench_support.h"
#include "bench/heap_count.h"
#include "common/bytes.h"
#include "platform/platform.h"
#include "raster/height_source.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// ---- files ----------------------------------------------------------------

constexpr int TerPoints = 4097;
constexpr int BmpSide = 4096;

bool writeTerrain(const std::string& path) {
    std::mt19937 rng(7);
    return writeBenchTerrain(path, TerPoints, 10.0f, [&](int x, int y) {
        return static_cast<std::int16_t>((x * 13 + y * 7) % 60000 - 30000 +
                                         static_cast<int>(rng() % 64));
    });
}

bool writeBitmap(const std::string& path) {
    return writeBenchBitmap(path, BmpSide, BmpSide, [](int x, int y) {
        return 10000 + static_cast<std::uint32_t>((x * 31 + y * 17) % 500000);
    });
}

// ---- timing ---------------------------------------------------------------

// The baseline: the file's bytes into a fresh buffer with one read.
double plainRead(const std::string& path, std::size_t& sink) {
    BenchClock::time_point start = BenchClock::now();
    InputProblem problem;
    std::FILE* f = openInputFile(path, problem);
    std::uint64_t size = 0;
    if (!f || !openFileSize(f, size)) std::abort();
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
    sink += std::fread(buffer.get(), 1, size, f);
    std::fclose(f);
    buffer.reset();
    return millisecondsSince(start);
}

struct Figures {
    double baselineMs = 0, constructMs = 0;
    std::size_t rasterBytes = 0, heapPeak = 0, residentPeak = 0;
};

template <class Make>
Figures measure(const std::string& path, std::size_t rasterBytes, Make make) {
    Figures fig;
    fig.rasterBytes = rasterBytes;

    // Memory first, in a quiet process: the peak over one construction.
    const bool resident = resetResidentPeak();
    const std::size_t rss0 = statusBytes("VmRSS:");
    const std::size_t live0 = heapLive();
    resetHeapPeak();
    {
        auto source = make();
        if (source->gridWidth == 0) std::abort();
        fig.heapPeak = heapPeak() - live0;
        if (resident) fig.residentPeak = statusBytes("VmHWM:") - rss0;
    }

    // Then time, baseline and construction taking turns, warm page cache.
    std::vector<double> base, built;
    std::size_t sink = 0;
    for (int round = 0; round < 9; ++round) {
        base.push_back(plainRead(path, sink));
        BenchClock::time_point start = BenchClock::now();
        {
            auto source = make();
            sink += static_cast<std::size_t>(source->maxHeight);
        }
        built.push_back(millisecondsSince(start));
    }
    if (sink == 42) std::puts("");
    fig.baselineMs = median(base);
    fig.constructMs = median(built);
    return fig;
}

void print(const char* what, const Figures& f) {
    const double mib = 1024.0 * 1024.0;
    std::printf("%s\n", what);
    std::printf("  plain read   %8.2f ms (median of 9)\n", f.baselineMs);
    std::printf("  construction %8.2f ms (median of 9)  ratio %.2f  (target <= 2.00)\n",
                f.constructMs, f.constructMs / f.baselineMs);
    const double raster = static_cast<double>(f.rasterBytes);
    const double heap = static_cast<double>(f.heapPeak);
    const double resident = static_cast<double>(f.residentPeak);
    std::printf("  raster %.2f MiB; heap peak %.2f MiB (+%.3f MiB)", raster / mib, heap / mib,
                (heap - raster) / mib);
    if (f.residentPeak)
        std::printf("; resident peak %.2f MiB (+%.3f MiB)", resident / mib,
                    (resident - raster) / mib);
    std::printf("  (target <= +1 MiB)\n");
}

} // namespace

int main() {
    namespace fs = std::filesystem;
    fs::path dir =
        fs::temp_directory_path() / ("zumt_bench_" + std::to_string(std::random_device{}()));
    fs::create_directory(dir);
    const std::string ter = (dir / "bench.ter").string();
    const std::string bmp = (dir / "bench.bmp").string();
    if (!writeTerrain(ter) || !writeBitmap(bmp)) return 1;

    const std::size_t terBytes = 2u * TerPoints * TerPoints;
    const std::size_t bmpBytes = std::size_t{3} * BmpSide * BmpSide;
    Figures t = measure(ter, terBytes, [&] { return std::make_unique<TerragenHeightSource>(ter); });
    Figures b =
        measure(bmp, bmpBytes, [&] { return std::make_unique<BitmapHeightSource>(bmp, 100); });
    print("TerragenHeightSource, 4097 x 4097 samples", t);
    print("BitmapHeightSource, 4096 x 4096 pixels", b);

    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
