// zumt_hoehen on a large layout over a large terrain, against copying the
// two files it reads.
//
// Files, written here into a temporary folder: a 4097 × 4097 Terragen
// terrain (10 m grid, about 32 MiB of samples) and a layout of 30,000 tracks
// of every kind and 30,000 objects (plain ones, bridges and buffer stops on
// their tracks, objects of other model folders, a few duplicates) spread
// over it, with its ".danl" and a "hoehen.ini" that adjusts cameras too.
// Baseline, in the same run: copying the layout and the terrain file (each
// read whole, then written to a new file; once plainly, once through the
// safe replacement that zumt_hoehen writes with, which waits for the disk).
// Target: the program takes at most 4 times the baseline, and its memory
// peak is at most the terrain's samples plus the layout plus 8 MiB.
//
// The program runs as a process (as the user runs it), and in this process
// for the heap accounting: every block allocated through operator new.
//
// Run: cmake --preset release && cmake --build build/release -j2 --target zumt_bench_hoehen
//      && build/release/bench/zumt_bench_hoehen
#include "bench/bench_support.h"
#include "bench/heap_count.h"
#include "common/bytes.h"
#include "common/file_messages.h"
#include "hoehen/entry.h"
#include "layout/layout.h"
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr int TerPoints = 4097;
constexpr std::int32_t GridStepCm = 1000;

bool writeTerrain(const std::string& path) {
    std::mt19937 rng(7);
    return writeBenchTerrain(path, TerPoints, 10.0f, [&](int x, int y) {
        return static_cast<std::int16_t>((x * 13 + y * 7) % 60000 - 30000 +
                                         static_cast<int>(rng() % 64));
    });
}

// n tracks and n objects over the terrain, which reaches 2048 grid steps
// from the origin each way.
Layout makeLayout(int n) {
    const std::int32_t reach = 2000 * GridStepCm;
    std::mt19937 rng(11);
    auto coordinate = [&] { return static_cast<std::int32_t>(rng() % (2u * reach)) - reach; };
    Layout layout;
    for (int i = 0; i < n; ++i) {
        const std::int32_t x = coordinate(), y = coordinate();
        layout.tracks.push_back(
            benchTrack(i, {x, y, 0}, {x + 600 + i % 7 * 50, y + 300 * (i % 3), 0}));
    }
    for (int j = 0; j < n; ++j) {
        ObjectRecord o;
        o.id = static_cast<std::int16_t>(j % 32000 + 1);
        o.param1 = o.param2 = 100;
        if (attachBenchObject(o, j, layout)) {
            // a bridge or a buffer stop, on its track
        } else if (j % 10 == 5) {
            o.path = "Berge\\bmp" + std::to_string(j % 173) + "_" + std::to_string(j / 173);
            o.position = {coordinate(), coordinate(), -100};
            o.direction = {1.0f, 0.0f, 0.0f};
        } else if (j % 50 == 11) {
            o = layout.objects[static_cast<std::size_t>(j - 1)];
        } else {
            o.path = "Baum" + std::to_string(j % 20);
            o.position = {coordinate(), coordinate(), 0};
            o.direction = {0.0f, 1.0f, 0.0f};
        }
        layout.objects.push_back(o);
    }
    for (auto& camera : layout.cameras)
        camera.setDefault();
    return layout;
}

// ---- measuring ----------------------------------------------------------------

using Clock = std::chrono::steady_clock;

template <class F>
double milliseconds(F&& f) {
    const Clock::time_point start = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<std::uint8_t> readOnce(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::uint64_t size = 0;
    if (!f || !openFileSize(f, size)) std::abort();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return bytes;
}

void writeOnce(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
}

// The program as the user starts it; returns its exit code.
int runProgram(const std::string& layoutPath) {
#if defined(_WIN32)
    const std::string command =
        "\"\"" + std::string(ZUMT_HOEHEN_EXE) + "\" \"" + layoutPath + "\"\"";
#else
    const std::string command = "'" + std::string(ZUMT_HOEHEN_EXE) + "' '" + layoutPath + "'";
#endif
    return std::system(command.c_str());
}

int runInProcess(const std::string& layoutPath) {
    std::string program = "zumt_hoehen", arg = layoutPath;
    char* argv[] = {program.data(), arg.data(), nullptr};
    return hoehenMain(2, argv);
}

} // namespace

int main() {
    const fs::path dir =
        fs::temp_directory_path() / ("zumt_bench_hoehen_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir / "terrain");
    const std::string ter = (dir / "terrain" / "gelaende.ter").string();
    const std::string anl = (dir / "Gelaende.anl").string();
    const std::string danl = (dir / "Gelaende.danl").string();
    const std::string ini = (dir / "hoehen.ini").string();
    const std::string copyTer = (dir / "kopie.ter").string();
    const std::string copyAnl = (dir / "kopie.anl").string();

    if (!writeTerrain(ter)) return 1;
    const std::string danlText = "[Terrain1]\r\nHoehe=terrain\\gelaende.ter\r\nFaktor=1.5\r\n";
    const std::string iniText = "[Zumt]\r\nDZ=0.01\r\n\r\n[DZ]\r\nGleise=0.1\r\nKameras=1\r\n"
                                "Baum7=0.5\r\nBaum8=-0.2\r\n";
    if (!writeFileSafely(danl, danlText.data(), danlText.size()) ||
        !writeFileSafely(ini, iniText.data(), iniText.size()))
        return 1;

    std::size_t layoutHeap = 0;
    {
        Layout layout = makeLayout(30000);
        if (!layout.save(anl)) return 1;
        Layout check;
        const std::size_t live0 = heapLive();
        const LoadResult loaded = check.load(anl);
        layoutHeap = heapLive() - live0;
        if (loaded != LoadResult::Loaded) return 1;
    }
    const std::size_t samples = 2u * TerPoints * TerPoints;
    const std::size_t layoutFile = static_cast<std::size_t>(fs::file_size(anl));
    const std::size_t terFile = static_cast<std::size_t>(fs::file_size(ter));
    const double mib = 1024.0 * 1024.0;
    std::printf("terrain %d x %d: file %.2f MiB, samples %.2f MiB\n", TerPoints, TerPoints,
                static_cast<double>(terFile) / mib, static_cast<double>(samples) / mib);
    std::printf("layout 30000 tracks, 30000 objects: file %.2f MiB, loaded in memory %.2f MiB\n",
                static_cast<double>(layoutFile) / mib, static_cast<double>(layoutHeap) / mib);

    // Memory first: the heap peak of one run in this process. The program
    // changes the current folder; the paths here are all absolute.
    const std::size_t live0 = heapLive();
    resetHeapPeak();
    if (runInProcess(anl) != 0) return 1;
    const std::size_t heapPeakBytes = heapPeak() - live0;

    // Then time, the four taking turns on a warm page cache.
    std::vector<double> plainCopy, safeCopy, program, inProcess;
    for (int round = 0; round < 9; ++round) {
        plainCopy.push_back(milliseconds([&] {
            writeOnce(copyAnl, readOnce(anl));
            writeOnce(copyTer, readOnce(ter));
        }));
        safeCopy.push_back(milliseconds([&] {
            if (!writeFileSafely(copyAnl, readOnce(anl)) ||
                !writeFileSafely(copyTer, readOnce(ter)))
                std::abort();
        }));
        program.push_back(milliseconds([&] {
            if (runProgram(anl) != 0) std::abort();
        }));
        inProcess.push_back(milliseconds([&] {
            if (runInProcess(anl) != 0) std::abort();
        }));
    }
    const double plain = median(plainCopy), safe = median(safeCopy);
    const double run = median(program), inside = median(inProcess);
    std::printf("copy layout + terrain, plain      %8.2f ms (median of 9)\n", plain);
    std::printf("copy layout + terrain, safe write %8.2f ms\n", safe);
    std::printf("zumt_hoehen as a process          %8.2f ms  ratio %.2f to the plain copy, %.2f to "
                "the safe copy  (target <= 4.00)\n",
                run, run / plain, run / safe);
    std::printf("zumt_hoehen in this process       %8.2f ms  ratio %.2f, %.2f\n", inside,
                inside / plain, inside / safe);

    // "The layout" in the target can be read as the loaded layout (the
    // records in memory, what the program must hold) or as its file; both
    // are shown. Heap peak = samples + records + the file image being saved
    // (or, while loading, + the file's bytes).
    const double peak = static_cast<double>(heapPeakBytes);
    const double overLoaded = (peak - static_cast<double>(samples + layoutHeap)) / mib;
    const double overFile = (peak - static_cast<double>(samples + layoutFile)) / mib;
    std::printf("heap peak of one run %.2f MiB: samples + loaded layout + %.2f MiB (%s), "
                "samples + layout file + %.2f MiB (%s); target + 8 MiB\n",
                peak / mib, overLoaded, overLoaded <= 8.0 ? "within" : "above", overFile,
                overFile <= 8.0 ? "within" : "above");
#if !defined(_WIN32)
    struct rusage usage {};
    if (getrusage(RUSAGE_CHILDREN, &usage) == 0) {
        // The whole process: its code and libraries and the C library's
        // buffers as well.
        const double rss = static_cast<double>(usage.ru_maxrss) * 1024.0;
        std::printf("resident peak of the program %.2f MiB: samples + loaded layout + %.2f MiB, "
                    "samples + layout file + %.2f MiB\n",
                    rss / mib, (rss - static_cast<double>(samples + layoutHeap)) / mib,
                    (rss - static_cast<double>(samples + layoutFile)) / mib);
    }
#endif

    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
