#include "layout/layout.h"

#include "common/file_messages.h"
#include "common/message.h"
#include "layout/track_record.h"
#include "platform/platform.h"

#include <algorithm>
#include <limits>

namespace {

// Reads a count and that many records. The array never grows beyond what the
// remaining bytes could hold, so a count cannot make us allocate for records
// that are not there. False when a record failed; the reader tells whether
// the file ended.
template <class Record>
bool readList(ByteReader& r, std::vector<Record>& list, std::size_t minRecordSize) {
    const std::int16_t count = r.i16();
    if (r.failed()) return false;
    if (count <= 0) return true;
    const std::size_t wanted = static_cast<std::size_t>(count);
    list.reserve(std::min(wanted, r.remaining() / minRecordSize));
    for (std::size_t i = 0; i < wanted; ++i) {
        list.emplace_back();
        if (!list.back().read(r) || r.failed()) return false;
    }
    return true;
}

// Writes the count of live records and the records. The count is an i16:
// more live records would wrap it and the file would not read back.
template <class Record>
bool writeList(ByteWriter& w, std::vector<Record>& list, const char* what) {
    const auto live =
        std::count_if(list.begin(), list.end(), [](const Record& rec) { return rec.id != 0; });
    if (live > std::numeric_limits<std::int16_t>::max())
        return report("Zu viele %s (%d)!\n", what, static_cast<int>(live));
    w.i16(static_cast<std::int16_t>(live));
    for (auto& rec : list)
        if (!rec.write(w)) return false;
    return true;
}

// The image's size, so that it is built in one block of just that size:
// a loose bound would cost as much memory as the records themselves.
std::size_t imageSizeBound(const Layout& layout) {
    std::size_t size = 6 + 5 * 32 + 32;
    for (const auto& t : layout.tracks)
        size += t.storedSize();
    for (const auto& o : layout.objects)
        size += MinObjectRecordSize + 2 * o.path.size();
    for (const auto& e : layout.entries)
        size += MinEntryRecordSize + 2 * e.name.size() + e.text2.size() + 7;
    return size;
}

} // namespace

bool isBridgePath(std::string_view path) {
    return path.starts_with(BridgePrefix);
}

bool isBufferStopPath(std::string_view path) {
    return path.starts_with(BufferStopPrefix);
}

void Layout::clear() {
    tracks.clear();
    tracks.shrink_to_fit();
    objects.clear();
    objects.shrink_to_fit();
    entries.clear();
    entries.shrink_to_fit();
}

LoadResult Layout::load(std::string_view path) {
    // Three lists of at most 32767 records each: even with long texts in
    // every record a real layout stays far below this.
    constexpr std::uint64_t LargestLayout = std::uint64_t{1} << 28;
    std::vector<std::uint8_t> bytes;
    const InputProblem problem = readWholeFile(path, bytes, LargestLayout);
    if (problem != InputProblem::None) {
        const std::string shown(path);
        if (problem == InputProblem::NotAFile)
            reportInputProblem(problem, path);
        else if (problem == InputProblem::TooLarge)
            report("Datei zu lang!\n");
        else
            report("Can't open %s!\n", shown.c_str());
        *this = Layout();
        return LoadResult::Refused;
    }
    return loadFromMemory(bytes.data(), bytes.size());
}

LoadResult Layout::loadFromMemory(const std::uint8_t* data, std::size_t size) {
    *this = Layout();
    ByteReader r(data, size);
    // Every way out below that met the end of the file ends in the same
    // message; a reader that stopped at a disagreeing copy has printed its
    // console line and ends the load silently.
    auto stop = [&r] {
        if (!r.failed()) return LoadResult::Inconsistent;
        report("Formatfehler!\n");
        return LoadResult::Refused;
    };

    if (!readList(r, tracks, MinTrackRecordSize)) {
        // A track of an unknown kind has said so itself.
        if (!r.failed() && !isTrackTypeCode(tracks.back().type)) return LoadResult::Refused;
        return stop();
    }
    if (!readList(r, objects, MinObjectRecordSize)) return stop();
    if (!readList(r, entries, MinEntryRecordSize)) return stop();
    for (auto& camera : cameras)
        camera.read(r);
    if (r.failed()) return stop();
    // A block cut inside its 20 extra bytes has its own message; one cut in
    // the colours and separators before them is cut like any other part.
    const bool headPresent = r.has(LayoutProperties::HeadSize);
    if (!properties.read(r)) {
        if (!headPresent) return stop();
        return r.failed() ? LoadResult::Refused : LoadResult::Inconsistent;
    }
    for (std::size_t index : tailOrder())
        entries[index].tail.read(r);
    if (r.failed()) return stop();
    if (!r.atEnd()) {
        report("Datei zu lang!\n");
        return LoadResult::Refused;
    }
    linkAttachedObjects();
    return LoadResult::Loaded;
}

bool Layout::writeImage(std::vector<std::uint8_t>& out) {
    ByteWriter w(std::move(out));
    w.reserve(imageSizeBound(*this));
    bool ok = writeList(w, tracks, "Gleise") && writeList(w, objects, "Objekte") &&
              writeList(w, entries, "Eintraege");
    if (ok) {
        for (const auto& camera : cameras)
            camera.write(w);
        properties.write(w);
        for (std::size_t index : tailOrder())
            entries[index].tail.write(w);
    }
    out = std::move(w.buffer());
    return ok;
}

bool Layout::save(std::string_view path) {
    placeAttachedObjects();
    removeDuplicateObjects();
    std::vector<std::uint8_t> image;
    if (!writeImage(image)) return false;
    return writeFileSafely(path, image);
}

std::vector<std::size_t> Layout::tailOrder() const {
    // Each id in 1..29999 once, in ascending order, with the first entry of
    // that id in array order: a stable sort by id and one pass that keeps the
    // first of each id.
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].id > 0 && entries[i].id < EntryTailLimit) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        return entries[a].id < entries[b].id;
    });
    auto sameId = [this](std::size_t a, std::size_t b) { return entries[a].id == entries[b].id; };
    order.erase(std::unique(order.begin(), order.end(), sameId), order.end());
    return order;
}
