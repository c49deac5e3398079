// Writes the sample layout of the tests to the path given: the way the
// golden file tests/data/layout/sample.anl was made, and a way to compare
// what the native and the Windows build write.
//
// With --seeds it writes the small layouts the layout fuzzer starts from
// (fuzz/corpus/layout) into a folder instead: the empty layout, one file per
// track of the sample, the sample's objects and entries on their own, and the
// whole sample written without the save-time fix-ups, so that its duplicate
// object and its attached objects away from their tracks are in the file.
#include "platform/platform.h"
#include "tests/layout/layout_fixtures.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool writeSeeds(const std::string& folder) {
    const Layout sample = sampleLayout();
    auto save = [&](Layout layout, const std::string& name) {
        return layout.save(folder + "/" + name);
    };
    Layout empty;
    bool ok = save(empty, "empty.anl");
    for (const auto& track : sample.tracks) {
        Layout one;
        one.tracks.push_back(track);
        one.tracks.back().link.reset();
        ok = save(one, "track_" + std::to_string(track.id) + ".anl") && ok;
    }
    Layout objects;
    objects.objects = sample.objects;
    ok = save(objects, "objects.anl") && ok;
    Layout entries;
    entries.entries = sample.entries;
    entries.cameras = sample.cameras;
    entries.properties = sample.properties;
    ok = save(entries, "entries.anl") && ok;
    Layout unfixed = sample;
    std::vector<std::uint8_t> image;
    ok = unfixed.writeImage(image) && writeFileSafely(folder + "/unfixed.anl", image) && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--seeds") == 0) return writeSeeds(argv[2]) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: zumt_write_sample_layout FILE.anl\n"
                             "       zumt_write_sample_layout --seeds FOLDER\n");
        return 2;
    }
    Layout layout = sampleLayout();
    return layout.save(argv[1]) ? 0 : 1;
}
