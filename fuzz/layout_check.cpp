// The layout reader and writer over arbitrary bytes.
#include "fuzz/fuzz_support.h"
#include "fuzz/reader_checks.h"
#include "layout/layout.h"

#include <bit>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The first field in which two layouts differ, as a name; empty when they
// are the same. Floats are compared as bit patterns.
class Differences {
  public:
    std::string first;

    template <class T>
    void same(const T& a, const T& b, const std::string& what) {
        if (first.empty() && !(a == b)) first = what;
    }
    void same(float a, float b, const std::string& what) {
        same(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b), what);
    }
    void same(const Point3& a, const Point3& b, const std::string& what) {
        same(a.x, b.x, what + ".x");
        same(a.y, b.y, what + ".y");
        same(a.z, b.z, what + ".z");
    }
    void same(const Vector3& a, const Vector3& b, const std::string& what) {
        same(a.x, b.x, what + ".x");
        same(a.y, b.y, what + ".y");
        same(a.z, b.z, what + ".z");
    }
};

void compare(Differences& d, const TrackRecord& a, const TrackRecord& b, const std::string& at) {
    d.same(a.name, b.name, at + "name");
    d.same(a.text2, b.text2, at + "text2");
    d.same(a.link, b.link, at + "link");
    d.same(a.id, b.id, at + "id");
    d.same(a.type, b.type, at + "type");
    d.same(a.variant, b.variant, at + "variant");
    d.same(a.direction, b.direction, at + "direction");
    d.same(a.start, b.start, at + "start");
    d.same(a.end, b.end, at + "end");
    d.same(a.connectionCount, b.connectionCount, at + "connectionCount");
    for (std::size_t s = 0; s < a.connections.size(); ++s) {
        d.same(a.connections[s].peerId, b.connections[s].peerId, at + "peerId");
        d.same(a.connections[s].peerEnd, b.connections[s].peerEnd, at + "peerEnd");
    }
    d.same(a.setting1, b.setting1, at + "setting1");
    d.same(a.setting2, b.setting2, at + "setting2");
    d.same(a.pointA, b.pointA, at + "pointA");
    d.same(a.pointB, b.pointB, at + "pointB");
    d.same(a.pointC, b.pointC, at + "pointC");
    d.same(a.realValue, b.realValue, at + "realValue");
}

void compare(Differences& d, const ObjectRecord& a, const ObjectRecord& b, const std::string& at) {
    d.same(a.id, b.id, at + "id");
    d.same(a.path, b.path, at + "path");
    d.same(a.position, b.position, at + "position");
    d.same(a.direction, b.direction, at + "direction");
    d.same(a.param1, b.param1, at + "param1");
    d.same(a.param2, b.param2, at + "param2");
}

void compare(Differences& d, const EntryRecord& a, const EntryRecord& b, const std::string& at) {
    d.same(a.id, b.id, at + "id");
    d.same(a.name, b.name, at + "name");
    d.same(a.text2, b.text2, at + "text2");
    d.same(a.values, b.values, at + "values");
    d.same(a.bytes, b.bytes, at + "bytes");
    d.same(a.byteA, b.byteA, at + "byteA");
    d.same(a.shortA, b.shortA, at + "shortA");
    d.same(a.byteB, b.byteB, at + "byteB");
    d.same(a.shortB, b.shortB, at + "shortB");
    d.same(a.byteC, b.byteC, at + "byteC");
    d.same(a.tail.tailInt, b.tail.tailInt, at + "tailInt");
    d.same(a.tail.tailByte, b.tail.tailByte, at + "tailByte");
    d.same(a.tail.tailShort, b.tail.tailShort, at + "tailShort");
}

template <class Record>
void compareList(Differences& d, const std::vector<Record>& a, const std::vector<Record>& b,
                 const char* list) {
    d.same(a.size(), b.size(), std::string(list) + " count");
    for (std::size_t i = 0; i < a.size() && i < b.size() && d.first.empty(); ++i)
        compare(d, a[i], b[i], std::string(list) + "[" + std::to_string(i) + "].");
}

std::string difference(const Layout& a, const Layout& b) {
    Differences d;
    compareList(d, a.tracks, b.tracks, "tracks");
    compareList(d, a.objects, b.objects, "objects");
    compareList(d, a.entries, b.entries, "entries");
    for (std::size_t i = 0; i < a.cameras.size(); ++i) {
        const std::string at = "cameras[" + std::to_string(i) + "].";
        d.same(a.cameras[i].direction, b.cameras[i].direction, at + "direction");
        d.same(a.cameras[i].position, b.cameras[i].position, at + "position");
        d.same(a.cameras[i].param1, b.cameras[i].param1, at + "param1");
        d.same(a.cameras[i].param2, b.cameras[i].param2, at + "param2");
    }
    d.same(a.properties.colourA, b.properties.colourA, "colourA");
    d.same(a.properties.colourB, b.properties.colourB, "colourB");
    d.same(a.properties.extraBytes, b.properties.extraBytes, "extraBytes");
    d.same(a.properties.extraValue, b.properties.extraValue, "extraValue");
    return d.first;
}

// True when saving writes every record as it was read. The format defines
// three normalisations: a record whose id is 0 is removed and not written;
// codes 7, 8 and 9 with a variant of 0 are written as 1, 3 and 4; and the
// presence words of a code-11 slot table are written as 1 or 0 from the
// slots' peerId. (A negative count, the fourth, is handled by the caller.)
bool savesAsRead(const Layout& layout) {
    for (const auto& t : layout.tracks) {
        if (t.id == 0) return false;
        if ((t.type == 7 || t.type == 8 || t.type == 9) && t.variant == 0) return false;
        if (t.type == 11 && t.connectionCount > 2) return false;
    }
    for (const auto& o : layout.objects)
        if (o.id == 0) return false;
    for (const auto& e : layout.entries)
        if (e.id == 0) return false;
    return true;
}

// The bytes the records of a list take in a saved file.
template <class Record>
std::size_t listBytes(const std::vector<Record>& records, std::vector<Record> Layout::*list) {
    Layout part;
    part.*list = records;
    Bytes image;
    part.writeImage(image);
    return image.size() - 198; // an empty layout's bytes
}

// The image a file that saves as it was read must give: its own bytes, but
// for a negative count, which reads as an empty list and saves as 0.
Bytes expectedImage(const Layout& layout, const Bytes& image, const std::uint8_t* data,
                    std::size_t size) {
    const std::size_t objectsAt = 2 + listBytes(layout.tracks, &Layout::tracks);
    const std::size_t entriesAt = objectsAt + 2 + listBytes(layout.objects, &Layout::objects);
    Bytes expected = image;
    const std::pair<bool, std::size_t> counts[] = {{layout.tracks.empty(), 0},
                                                   {layout.objects.empty(), objectsAt},
                                                   {layout.entries.empty(), entriesAt}};
    for (auto [empty, at] : counts) {
        if (!empty || at + 2 > size || at + 2 > expected.size()) continue;
        if (data[at + 1] & 0x80) { // negative
            expected[at] = data[at];
            expected[at + 1] = data[at + 1];
        }
    }
    return expected;
}

bool loadsCleanly(Layout& layout, const Bytes& image, Captured& captured) {
    captured.reset();
    return layout.loadFromMemory(image.data(), image.size()) == LoadResult::Loaded &&
           captured.messages.empty() && captured.console.empty();
}

} // namespace

std::string checkLayoutInput(const std::uint8_t* data, std::size_t size) {
    Captured captured;

    Layout read;
    if (read.loadFromMemory(data, size) != LoadResult::Loaded) return {};
    if (!captured.messages.empty() || !captured.console.empty())
        return "a layout that loaded showed a complaint";

    // Saving as it stands (the fix-ups aside) writes what was read.
    Layout saved = read;
    Bytes image;
    if (!saved.writeImage(image)) return "a layout that loaded cannot be saved";
    if (savesAsRead(read)) {
        if (expectedImage(read, image, data, size) != Bytes(data, data + size))
            return "the saved bytes differ from the file";
    }
    Layout again;
    if (!loadsCleanly(again, image, captured)) return "the saved file does not load";
    if (savesAsRead(read)) {
        const std::string field = difference(read, again);
        if (!field.empty()) return "the saved file loads differently: " + field;
    }
    Bytes imageAgain;
    if (!again.writeImage(imageAgain) || imageAgain != image)
        return "saving the saved file changes it";

    // What save writes after its fix-ups loads back, and the fix-ups have
    // done all they do: running them again changes nothing.
    Layout fixed = read;
    fixed.placeAttachedObjects();
    fixed.removeDuplicateObjects();
    Bytes fixedImage;
    if (!fixed.writeImage(fixedImage)) return "a layout that loaded cannot be saved after fix-ups";
    Layout fixedBack;
    if (!loadsCleanly(fixedBack, fixedImage, captured)) return "a saved layout does not load";
    fixed.placeAttachedObjects();
    fixed.removeDuplicateObjects();
    Bytes fixedTwice;
    fixed.writeImage(fixedTwice);
    if (fixedTwice != fixedImage) return "the fix-ups change a layout a second time";
    return {};
}
