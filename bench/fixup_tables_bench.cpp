// The consistency fix-ups' hash tables (layout/fixups.cpp: linking bridges
// and buffer stops to their tracks, removing duplicate objects), which are
// std::unordered_map and std::unordered_set, against the open-addressing
// tables they had before, kept here. 30,000 tracks and 30,000 objects
// (benchLayout: 3,000 bridges, 3,000 buffer stops, 600 duplicates); both
// sides must give the same links and the same removals.
//
// The rule: tables of our own come back only when std::unordered_map takes
// more than twice their time.
//
// The two sides take turns, each on a fresh copy made outside the clock,
// and the medians are compared.
//
//   cmake --preset release && cmake --build build/release -j2 --target zumt_bench_fixup_tables
//   build/release/bench/zumt_bench_fixup_tables
#include "bench/bench_support.h"
#include "layout/layout.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

namespace {

constexpr int Objects = 30000;
constexpr int Runs = 51;
constexpr std::size_t None = static_cast<std::size_t>(-1);

// The keys and hashes exactly as the fix-ups have them, so that the tables
// alone differ.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

std::uint64_t pair(std::uint32_t a, std::uint32_t b) {
    return (std::uint64_t{a} << 32) | b;
}

std::uint32_t keyBits(float v) {
    return std::bit_cast<std::uint32_t>(v == 0.0f ? 0.0f : v);
}

std::uint32_t keyBits(std::int32_t v) {
    return static_cast<std::uint32_t>(v);
}

bool hasNaN(const Vector3& d) {
    return std::isnan(d.x) || std::isnan(d.y) || std::isnan(d.z);
}

struct PlaceKey {
    std::int32_t x = 0, y = 0;
    std::uint32_t dx = 0, dy = 0, dz = 0;
    bool operator==(const PlaceKey&) const = default;
};

PlaceKey placeKey(const Point3& p, const Vector3& d) {
    return {p.x, p.y, keyBits(d.x), keyBits(d.y), keyBits(d.z)};
}

std::uint64_t hashOf(const PlaceKey& k) {
    return mix(pair(keyBits(k.x), keyBits(k.y)) * 0x9e3779b97f4a7c15ULL ^
               pair(k.dx, k.dy) * 0xc2b2ae3d27d4eb4fULL ^ k.dz);
}

std::uint64_t hashOf(const ObjectRecord& o) {
    std::uint64_t h = std::hash<std::string_view>{}(o.path);
    h ^= pair(keyBits(o.position.x), keyBits(o.position.y)) * 0x9e3779b97f4a7c15ULL;
    h ^= pair(keyBits(o.position.z), keyBits(o.direction.x)) * 0xc2b2ae3d27d4eb4fULL;
    h ^= pair(keyBits(o.direction.y), keyBits(o.direction.z)) * 0x165667b19e3779f9ULL;
    return mix(h);
}

// A power of two at least twice the entries, so that probes stay short.
std::size_t tableSize(std::size_t entries) {
    std::size_t size = 16;
    while (size < 2 * entries)
        size *= 2;
    return size;
}

// Linear probing; a byte of each key's hash in an array of its own answers
// the tracks that match nothing without touching the slots.
class PlaceTable {
  public:
    explicit PlaceTable(std::size_t keys)
        : tags_(tableSize(keys), 0), slots_(tags_.size()), mask_(tags_.size() - 1) {}

    void add(const PlaceKey& key) {
        const std::uint64_t hash = hashOf(key);
        std::size_t at = hash & mask_;
        for (; tags_[at] != 0; at = (at + 1) & mask_)
            if (tags_[at] == tagOf(hash) && slots_[at].key == key) return;
        tags_[at] = tagOf(hash);
        slots_[at].key = key;
    }
    void offer(const PlaceKey& key, std::size_t track) {
        Slot* s = find(key);
        if (s && s->track == None) s->track = track;
    }
    std::size_t trackOf(const PlaceKey& key) {
        const Slot* s = find(key);
        return s ? s->track : None;
    }

  private:
    struct Slot {
        PlaceKey key;
        std::size_t track = None;
    };
    static std::uint8_t tagOf(std::uint64_t hash) {
        return static_cast<std::uint8_t>((hash >> 56) | 1);
    }
    Slot* find(const PlaceKey& key) {
        const std::uint64_t hash = hashOf(key);
        for (std::size_t at = hash & mask_; tags_[at] != 0; at = (at + 1) & mask_)
            if (tags_[at] == tagOf(hash) && slots_[at].key == key) return &slots_[at];
        return nullptr;
    }

    std::vector<std::uint8_t> tags_;
    std::vector<Slot> slots_;
    std::size_t mask_;
};

void linkWithOwnTables(Layout& layout) {
    auto& objects = layout.objects;
    auto& tracks = layout.tracks;
    enum Kind : std::uint8_t { Other, Bridge, Stop };
    std::vector<Kind> kinds(objects.size(), Other);
    std::size_t bridgeCount = 0, stopCount = 0;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        const ObjectRecord& o = objects[j];
        if (hasNaN(o.direction)) continue;
        if (isBridgePath(o.path)) {
            kinds[j] = Bridge;
            ++bridgeCount;
        } else if (isBufferStopPath(o.path)) {
            kinds[j] = Stop;
            ++stopCount;
        }
    }
    PlaceTable bridges(bridgeCount), stops(stopCount);
    for (std::size_t j = 0; j < objects.size(); ++j) {
        if (kinds[j] == Bridge) bridges.add(placeKey(objects[j].position, objects[j].direction));
        if (kinds[j] == Stop) stops.add(placeKey(objects[j].position, objects[j].direction));
    }
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        TrackRecord& t = tracks[i];
        t.link.reset();
        if (bridgeCount != 0 && !hasNaN(t.direction))
            bridges.offer(placeKey(t.midpoint(), t.direction), i);
        if (stopCount != 0 && t.connectionCount == 1) {
            const Vector3 d = t.endDirection();
            if (!hasNaN(d)) stops.offer(placeKey(t.bufferStopPosition(d), d), i);
        }
    }
    for (std::size_t j = 0; j < objects.size(); ++j) {
        if (kinds[j] == Other) continue;
        const PlaceKey key = placeKey(objects[j].position, objects[j].direction);
        const std::size_t track = kinds[j] == Bridge ? bridges.trackOf(key) : stops.trackOf(key);
        if (track != None) tracks[track].link = j;
    }
}

void removeDuplicatesWithOwnTables(Layout& layout) {
    auto& objects = layout.objects;
    struct Slot {
        std::uint64_t hash = 0;
        std::size_t object = None;
    };
    std::vector<Slot> seen(tableSize(objects.size()));
    const std::size_t mask = seen.size() - 1;
    std::vector<bool> removed(objects.size(), false);
    bool anyRemoved = false;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        ObjectRecord& o = objects[j];
        if (o.id == 0 || hasNaN(o.direction)) continue;
        const std::uint64_t hash = hashOf(o);
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& s = seen[at];
            if (s.object == None) {
                s = {hash, j};
                break;
            }
            if (s.hash == hash && objects[s.object].sameAs(o)) {
                o.id = 0;
                removed[j] = anyRemoved = true;
                break;
            }
        }
    }
    if (!anyRemoved) return;
    for (auto& t : layout.tracks)
        if (t.link && *t.link < removed.size() && removed[*t.link]) t.link.reset();
}

bool sameOutcome(const Layout& a, const Layout& b) {
    for (std::size_t i = 0; i < a.tracks.size(); ++i)
        if (a.tracks[i].link != b.tracks[i].link) return false;
    for (std::size_t j = 0; j < a.objects.size(); ++j)
        if (a.objects[j].id != b.objects[j].id) return false;
    return true;
}

// The times of f, each on a fresh copy of the layout.
struct Side {
    std::vector<double> times;
    void run(const Layout& layout, const std::function<void(Layout&)>& f) {
        Layout copy = layout;
        const BenchClock::time_point start = BenchClock::now();
        f(copy);
        times.push_back(millisecondsSince(start));
    }
};

} // namespace

int main() {
    const Layout layout = benchLayout(Objects, Objects, 0);

    Layout maps = layout, own = layout;
    maps.linkAttachedObjects();
    maps.removeDuplicateObjects();
    linkWithOwnTables(own);
    removeDuplicatesWithOwnTables(own);
    std::size_t links = 0, removed = 0;
    for (const auto& t : maps.tracks)
        links += t.link.has_value();
    for (const auto& o : maps.objects)
        removed += o.id == 0;
    std::printf("fix-up tables, %d tracks and %d objects: %zu links, %zu duplicates removed\n",
                Objects, Objects, links, removed);
    if (!sameOutcome(maps, own)) {
        std::printf("the two sides disagree\n");
        return 1;
    }

    // The duplicates are searched on a linked layout, as before a save.
    Layout linked = layout;
    linked.linkAttachedObjects();
    Side mapsLink, ownLink, mapsDuplicates, ownDuplicates;
    for (int run = 0; run < Runs; ++run) {
        const bool mapsFirst = run % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == mapsFirst) {
                mapsLink.run(layout, [](Layout& l) { l.linkAttachedObjects(); });
                mapsDuplicates.run(linked, [](Layout& l) { l.removeDuplicateObjects(); });
            } else {
                ownLink.run(layout, linkWithOwnTables);
                ownDuplicates.run(linked, removeDuplicatesWithOwnTables);
            }
        }
    }
    auto line = [](const char* what, const std::vector<double>& ownTimes,
                   const std::vector<double>& mapTimes) {
        const double a = median(ownTimes), b = median(mapTimes);
        std::printf("  %-18s own tables %7.2f ms  std::unordered_map %7.2f ms  ratio %.2f\n", what,
                    a, b, b / a);
    };
    std::vector<double> ownBoth, mapsBoth;
    for (int run = 0; run < Runs; ++run) {
        ownBoth.push_back(ownLink.times[run] + ownDuplicates.times[run]);
        mapsBoth.push_back(mapsLink.times[run] + mapsDuplicates.times[run]);
    }
    std::printf("medians of %d runs:\n", Runs);
    line("link", ownLink.times, mapsLink.times);
    line("remove duplicates", ownDuplicates.times, mapsDuplicates.times);
    line("both", ownBoth, mapsBoth);
    return 0;
}
