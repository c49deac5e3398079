// The elevation readers and the TIFF picture reader over arbitrary bytes.
#include "common/byte_source.h"
#include "common/message.h"
#include "dgm/archive.h"
#include "dgm/elevation_grid.h"
#include "dgm/tiff_picture.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reader_checks.h"

#include <cmath>

namespace {

// Every message of one read, in order.
struct Messages {
    std::string text;
    int count = 0;
    Messages() {
        setMessageSink([this](const std::string& m) {
            text += m;
            ++count;
        });
    }
    ~Messages() { setMessageSink({}); }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;
};

bool mentions(const std::string& error, const std::string& path) {
    return error.find(path) != std::string::npos && error.size() >= 2 &&
           error.compare(error.size() - 2, 2, "!\n") == 0;
}

std::string gridProblem(const std::string& path, const ByteSource& input) {
    ElevationGrid g;
    g.columns = 5; // a failed read must clear what was there
    Messages shown;
    const bool ok = readElevationFile(path, input, g);
    if (ok != (shown.count == 0)) return "the result does not tell whether there is a message";
    if (shown.count > 1) return "more than one message for one read";
    if (!ok) {
        if (!mentions(shown.text, path)) return "the message does not name the file";
        if (g.columns != 0 || g.rows != 0 || !g.heights.empty()) return "a failed read left a grid";
        return {};
    }
    if (g.columns == 0 || g.rows == 0 || g.heights.size() != g.columns * g.rows)
        return "the heights do not match columns x rows";
    if (!(g.stepX > 0) || !(g.stepY > 0) || !std::isfinite(g.stepX) || !std::isfinite(g.stepY) ||
        !std::isfinite(g.west) || !std::isfinite(g.north))
        return "the grid has no usable place or spacing";
    // What is no height is NaN, and every NaN has its cause counted.
    long long holes = 0;
    for (float h : g.heights) {
        if (std::isnan(h))
            ++holes;
        else if (!isPossibleHeight(h))
            return "a height outside the possible range";
    }
    const NoDataCounts& n = g.noData;
    if (n.declared < 0 || n.impossible < 0 || n.given != 0 ||
        n.declared + n.impossible + n.given != holes)
        return "the no-data counts do not add up to the points without a height";
    const HeightConflicts& c = g.conflicts;
    if (c.points < 0 || (c.points == 0) != (c.largest == 0.0) ||
        !(c.largest <= HighestPossibleHeight - LowestPossibleHeight))
        return "the conflicts are not what they count";
    return {};
}

std::string pictureProblem(const std::string& path, const ByteSource& input) {
    RgbImage image;
    image.width = 3;
    GeoPlacement at;
    at.known = true;
    Messages shown;
    const bool ok = readTiffPicture(path, input, image, at);
    if (ok != (shown.count == 0))
        return "the picture result does not tell whether there is a message";
    if (shown.count > 1) return "more than one message for one picture";
    if (!ok) {
        if (!mentions(shown.text, path)) return "the picture message does not name the file";
        if (image.width != 0 || image.height != 0 || !image.rgb.empty() || at.known)
            return "a failed picture read left a picture";
        return {};
    }
    if (image.width == 0 || image.height == 0 || image.rgb.size() != image.width * image.height * 3)
        return "the pixels do not match width x height";
    if (at.known &&
        (!(at.stepX > 0) || !(at.stepY > 0) || !std::isfinite(at.west) ||
         !std::isfinite(at.north) || !std::isfinite(at.stepX) || !std::isfinite(at.stepY)))
        return "the picture has no usable place";
    return {};
}

} // namespace

std::string checkGeotiffInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource input(data, size);
    std::string problem = gridProblem("input.tif", input);
    if (problem.empty()) problem = pictureProblem("input.tif", input);
    // Sorting an input by its content looks at it silently.
    Messages shown;
    roleOf("input.tif", input);
    return problem.empty() && shown.count != 0 ? "roleOf showed a message" : problem;
}

std::string checkGridsInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource input(data, size);
    for (const char* name : {"input.xyz", "input.asc"}) {
        const std::string problem = gridProblem(name, input);
        if (!problem.empty()) return problem;
    }
    return {};
}

namespace {

// The bound the check unpacks within: enough for every seed, and no
// declared size can make the fuzzer allocate more.
constexpr std::uint64_t FuzzUnpackBytes = 1 << 20;

std::string entryProblem(const ByteSource& input, const ArchiveEntry& e) {
    const std::string name = "input.zip/" + e.name;
    std::vector<std::uint8_t> out = {1, 2, 3};
    Messages shown;
    const bool ok = unpackEntry(name, input, e, FuzzUnpackBytes, out);
    if (ok != (shown.count == 0))
        return "the unpacked result does not tell whether there is a message";
    if (shown.count > 1) return "more than one message for one entry";
    if (!ok) {
        if (!mentions(shown.text, name)) return "the message does not name the entry";
        if (!out.empty()) return "a refused entry left bytes";
        return {};
    }
    if (out.size() != e.size || out.size() > FuzzUnpackBytes)
        return "the entry has not its declared size";
    if (crc32(out) != e.crc) return "the entry has not its declared CRC-32";
    return {};
}

} // namespace

std::string checkArchivesInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource input(data, size);
    std::vector<ArchiveEntry> entries;
    {
        Messages shown;
        const bool ok = listZip("input.zip", input, entries);
        if (ok != (shown.count == 0)) return "the listing does not tell whether there is a message";
        if (!ok && (!mentions(shown.text, "input.zip") || !entries.empty()))
            return "a refused listing does not name the archive or left entries";
    }
    // A few entries: a directory of thousands would only repeat the work.
    for (std::size_t k = 0; k < entries.size() && k < 16; ++k) {
        const std::string problem = entryProblem(input, entries[k]);
        if (!problem.empty()) return problem;
    }
    ArchiveEntry member;
    Messages shown;
    if (!readGzipHeader("input.xyz.gz", input, member)) {
        if (shown.count != 1 || !mentions(shown.text, "input.xyz.gz"))
            return "a refused gzip header gives not one message naming the file";
        return {};
    }
    if (shown.count != 0 || member.name != "input.xyz") return "the gzip member is misnamed";
    return entryProblem(input, member);
}
