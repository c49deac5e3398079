// Layout load and save against plain file I/O of the same bytes, and how the
// fix-ups scale with the size of a layout.
//
// Run: cmake --preset release && cmake --build build/release -j2 --target zumt_bench_layout
//      && build/release/bench/zumt_bench_layout
#include "bench/bench_support.h"
#include "common/file_messages.h"
#include "layout/layout.h"
#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <class F>
double seconds(F&& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

template <class F>
double medianSeconds(int runs, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds(f));
    return median(times);
}

std::vector<std::uint8_t> readOnce(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return bytes;
}

void writeOnce(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "zumt_bench_layout";
    std::filesystem::create_directories(folder);
    const std::string source = (folder / "quelle.anl").string();
    const std::string target = (folder / "ziel.anl").string();
    const std::string plain = (folder / "plain.anl").string();

    Layout original = benchLayout(30000, 30000, 1000);
    if (!original.save(source)) return 1;
    const auto size = std::filesystem::file_size(source);
    {
        Layout check;
        const bool loaded = check.load(source) == LoadResult::Loaded;
        std::size_t bridges = 0;
        for (const auto& t : check.tracks)
            bridges += t.link.has_value();
        std::printf("layout: %zu bytes, 30000 tracks, 30000 objects, 1000 entries; "
                    "loaded %d, %zu tracks linked\n",
                    static_cast<std::size_t>(size), loaded ? 1 : 0, bridges);
    }

    // The four measurements take turns, so that a busy moment of the
    // machine falls on all of them alike; each reports its median.
    const int runs = 15;
    std::vector<std::uint8_t> bytes;
    std::vector<double> plainTimes, safeTimes, loadSaveTimes, memoryTimes, loadTimes;
    for (int run = 0; run < runs; ++run) {
        plainTimes.push_back(seconds([&] {
            bytes = readOnce(source);
            writeOnce(plain, bytes);
        }));
        safeTimes.push_back(seconds([&] {
            bytes = readOnce(source);
            writeFileSafely(plain, bytes);
        }));
        loadSaveTimes.push_back(seconds([&] {
            Layout layout;
            LoadResult loaded = LoadResult::Refused;
            double loadTime = seconds([&] { loaded = layout.load(source); });
            if (loaded != LoadResult::Loaded || !layout.save(target)) std::abort();
            loadTimes.push_back(loadTime);
        }));
        memoryTimes.push_back(seconds([&] {
            Layout layout;
            if (layout.loadFromMemory(bytes.data(), bytes.size()) != LoadResult::Loaded)
                std::abort();
            layout.placeAttachedObjects();
            layout.removeDuplicateObjects();
            std::vector<std::uint8_t> out;
            if (!layout.writeImage(out)) std::abort();
        }));
    }
    const double baseline = median(plainTimes);
    const double syncedBaseline = median(safeTimes);
    const double loadSave = median(loadSaveTimes);
    const double inMemory = median(memoryTimes);
    std::printf("baseline fread + fwrite          %8.2f ms\n", baseline * 1e3);
    std::printf("baseline fread + safe write      %8.2f ms\n", syncedBaseline * 1e3);
    std::printf("load + save                      %8.2f ms  ratio %.2f (to plain), %.2f (to "
                "safe write)\n",
                loadSave * 1e3, loadSave / baseline, loadSave / syncedBaseline);
    std::printf("  of which load                  %8.2f ms\n", median(loadTimes) * 1e3);
    std::printf("parse + fix-ups + image (no I/O) %8.2f ms\n", inMemory * 1e3);

    std::printf("\nfix-ups (link + place + remove duplicates), n tracks and n objects:\n");
    double previous = 0;
    for (int n : {7500, 15000, 30000, 60000, 120000}) {
        Layout layout = benchLayout(n, n, 0);
        const double link = medianSeconds(5, [&] { layout.linkAttachedObjects(); });
        const double place = medianSeconds(5, [&] { layout.placeAttachedObjects(); });
        // Each run needs the duplicates back: copies made outside the clock.
        std::vector<Layout> copies(5, layout);
        std::size_t next = 0;
        const double dedup = medianSeconds(5, [&] { copies[next++].removeDuplicateObjects(); });
        const double total = link + place + dedup;
        std::printf("  n = %6d  link %7.2f ms  place %7.2f ms  duplicates %7.2f ms  total %7.2f ms",
                    n, link * 1e3, place * 1e3, dedup * 1e3, total * 1e3);
        if (previous > 0) std::printf("  x%.2f for twice n", total / previous);
        std::printf("\n");
        previous = total;
    }

    // For scale: the duplicate search as the rule reads, every pair.
    for (int n : {3750, 7500, 15000}) {
        Layout layout = benchLayout(n, n, 0);
        const double t = seconds([&] {
            auto& o = layout.objects;
            for (std::size_t i = 0; i + 1 < o.size(); ++i) {
                if (o[i].id == 0) continue;
                for (std::size_t j = i + 1; j < o.size(); ++j)
                    if (o[j].id != 0 && o[i].sameAs(o[j])) o[j].id = 0;
            }
        });
        std::printf("  pairwise duplicate search, n = %6d  %8.2f ms\n", n, t * 1e3);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
