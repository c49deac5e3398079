// The closing summary of the demo: what the generator wrote and what the
// height fitting changed, in words a person can read.
//
//   zumt_demo_summary MODELS GENERATED.anl BEFORE.anl AFTER.anl
#include "layout/layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Change {
    int count = 0;
    std::int32_t lowest = std::numeric_limits<std::int32_t>::max();
    std::int32_t highest = std::numeric_limits<std::int32_t>::min();
    void note(std::int32_t before, std::int32_t after) {
        if (before == after) return;
        ++count;
        lowest = std::min(lowest, after);
        highest = std::max(highest, after);
    }
};

bool loadQuietly(const std::string& path, Layout& layout) {
    return layout.load(path) == LoadResult::Loaded;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: zumt_demo_summary MODELS GENERATED.anl BEFORE.anl AFTER.anl\n");
        return 1;
    }
    const fs::path models = argv[1];
    std::uintmax_t files = 0, bytes = 0;
    for (const auto& e : fs::directory_iterator(models))
        if (e.is_regular_file() && e.path().extension() == ".mod") {
            ++files;
            bytes += e.file_size();
        }

    Layout generated, before, after;
    if (!loadQuietly(argv[2], generated) || !loadQuietly(argv[3], before) ||
        !loadQuietly(argv[4], after) || before.tracks.size() != after.tracks.size() ||
        before.objects.size() != after.objects.size()) {
        std::fprintf(stderr, "demo: a layout did not load as expected\n");
        return 1;
    }

    Change ends, objects, cameras, all;
    for (std::size_t i = 0; i < before.tracks.size(); ++i) {
        const TrackRecord &b = before.tracks[i], &a = after.tracks[i];
        ends.note(b.start.z, a.start.z);
        ends.note(b.end.z, a.end.z);
        all.note(b.start.z, a.start.z);
        all.note(b.end.z, a.end.z);
    }
    for (std::size_t i = 0; i < before.objects.size(); ++i) {
        const ObjectRecord &b = before.objects[i], &a = after.objects[i];
        objects.note(b.position.z, a.position.z);
        all.note(b.position.z, a.position.z);
    }
    for (std::size_t i = 0; i < before.cameras.size(); ++i) {
        cameras.note(before.cameras[i].position.z, after.cameras[i].position.z);
        all.note(before.cameras[i].position.z, after.cameras[i].position.z);
    }

    std::printf("\n== Demo summary\n");
    std::printf("Terrain tiles:    %ju model files, %.1f MB, in %s\n", files,
                static_cast<double>(bytes) / 1e6, models.string().c_str());
    std::printf("Generated layout: %s places %d tiles\n", argv[2],
                static_cast<int>(generated.objects.size()));
    std::printf("Fitted layout:    %s\n", argv[4]);
    std::printf("  %d of %d track ends, %d of %d objects and %d of 5 cameras got new heights\n",
                ends.count, 2 * static_cast<int>(before.tracks.size()), objects.count,
                static_cast<int>(before.objects.size()), cameras.count);
    if (all.count > 0)
        std::printf("  new heights from %d cm to %d cm (%.2f m to %.2f m)\n", all.lowest,
                    all.highest, all.lowest / 100.0, all.highest / 100.0);
    return 0;
}
