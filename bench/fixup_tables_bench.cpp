// The consistency fix-ups' hash tables (layout/fixups.cpp: linking bridges
// and buffer stops to their tracks, removing duplicate objects) against the
// same searches written with std::unordered_map, on 30,000 tracks and
// 30,000 objects (benchLayout: 3,000 bridges, 3,000 buffer stops, 600
// duplicates). Both sides must give the same links and the same removals.
//
// The rule: hand-written tables stay only while std::unordered_map takes
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
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr int Objects = 30000;
constexpr int Runs = 21;
constexpr std::size_t None = static_cast<std::size_t>(-1);

// The keys exactly as the fix-ups compare: floats as bit patterns with -0.0
// folded onto 0.0; a NaN keeps a record out of the tables.
std::uint32_t keyBits(float v) {
    return std::bit_cast<std::uint32_t>(v == 0.0f ? 0.0f : v);
}

bool hasNaN(const Vector3& d) {
    return std::isnan(d.x) || std::isnan(d.y) || std::isnan(d.z);
}

// The hashes are the fix-ups' own, so that the tables alone differ.
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

struct PlaceKey {
    std::int32_t x = 0, y = 0;
    std::uint32_t dx = 0, dy = 0, dz = 0;
    bool operator==(const PlaceKey&) const = default;
};

struct PlaceHash {
    std::size_t operator()(const PlaceKey& k) const {
        return mix(pair(static_cast<std::uint32_t>(k.x), static_cast<std::uint32_t>(k.y)) *
                       0x9e3779b97f4a7c15ULL ^
                   pair(k.dx, k.dy) * 0xc2b2ae3d27d4eb4fULL ^ k.dz);
    }
};

PlaceKey placeKey(const Point3& p, const Vector3& d) {
    return {p.x, p.y, keyBits(d.x), keyBits(d.y), keyBits(d.z)};
}

void linkWithMaps(Layout& layout) {
    auto& objects = layout.objects;
    auto& tracks = layout.tracks;
    enum Kind : std::uint8_t { Other, Bridge, Stop };
    std::vector<Kind> kinds(objects.size(), Other);
    // key -> the first track with it, None until one is offered
    std::unordered_map<PlaceKey, std::size_t, PlaceHash> bridges, stops;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        const ObjectRecord& o = objects[j];
        if (hasNaN(o.direction)) continue;
        if (isBridgePath(o.path)) {
            kinds[j] = Bridge;
            bridges.emplace(placeKey(o.position, o.direction), None);
        } else if (isBufferStopPath(o.path)) {
            kinds[j] = Stop;
            stops.emplace(placeKey(o.position, o.direction), None);
        }
    }
    auto offer = [](auto& table, const PlaceKey& key, std::size_t track) {
        auto it = table.find(key);
        if (it != table.end() && it->second == None) it->second = track;
    };
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        TrackRecord& t = tracks[i];
        t.link.reset();
        if (!bridges.empty() && !hasNaN(t.direction))
            offer(bridges, placeKey(t.midpoint(), t.direction), i);
        if (!stops.empty() && t.connectionCount == 1) {
            const Vector3 d = t.endDirection();
            if (!hasNaN(d)) offer(stops, placeKey(t.bufferStopPosition(d), d), i);
        }
    }
    for (std::size_t j = 0; j < objects.size(); ++j) {
        if (kinds[j] == Other) continue;
        const auto& table = kinds[j] == Bridge ? bridges : stops;
        const std::size_t track = table.at(placeKey(objects[j].position, objects[j].direction));
        if (track != None) tracks[track].link = j;
    }
}

void removeDuplicatesWithMaps(Layout& layout) {
    auto& objects = layout.objects;
    auto hash = [&objects](std::size_t j) {
        const ObjectRecord& o = objects[j];
        std::uint64_t h = std::hash<std::string_view>{}(o.path);
        h ^= pair(static_cast<std::uint32_t>(o.position.x),
                  static_cast<std::uint32_t>(o.position.y)) *
             0x9e3779b97f4a7c15ULL;
        h ^= pair(static_cast<std::uint32_t>(o.position.z), keyBits(o.direction.x)) *
             0xc2b2ae3d27d4eb4fULL;
        h ^= pair(keyBits(o.direction.y), keyBits(o.direction.z)) * 0x165667b19e3779f9ULL;
        return static_cast<std::size_t>(mix(h));
    };
    auto same = [&objects](std::size_t a, std::size_t b) { return objects[a].sameAs(objects[b]); };
    // The first live object of each kind, by index.
    std::unordered_set<std::size_t, decltype(hash), decltype(same)> seen(objects.size(), hash,
                                                                         same);
    std::vector<bool> removed(objects.size(), false);
    bool anyRemoved = false;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        ObjectRecord& o = objects[j];
        if (o.id == 0 || hasNaN(o.direction)) continue;
        if (!seen.insert(j).second) {
            o.id = 0;
            removed[j] = anyRemoved = true;
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

// The median time of f over fresh copies of the layout.
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

    Layout ours = layout, maps = layout;
    ours.linkAttachedObjects();
    ours.removeDuplicateObjects();
    linkWithMaps(maps);
    removeDuplicatesWithMaps(maps);
    std::size_t links = 0, removed = 0;
    for (const auto& t : ours.tracks)
        links += t.link.has_value();
    for (const auto& o : ours.objects)
        removed += o.id == 0;
    std::printf("fix-up tables, %d tracks and %d objects: %zu links, %zu duplicates removed\n",
                Objects, Objects, links, removed);
    if (!sameOutcome(ours, maps)) {
        std::printf("the two sides disagree\n");
        return 1;
    }

    // The duplicates are searched on a linked layout, as after a load.
    const Layout linked = [&] {
        Layout l = layout;
        l.linkAttachedObjects();
        return l;
    }();
    Side oursLink, mapsLink, oursDuplicates, mapsDuplicates;
    for (int run = 0; run < Runs; ++run) {
        const bool oursFirst = run % 2 == 0;
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == oursFirst) {
                oursLink.run(layout, [](Layout& l) { l.linkAttachedObjects(); });
                oursDuplicates.run(linked, [](Layout& l) { l.removeDuplicateObjects(); });
            } else {
                mapsLink.run(layout, linkWithMaps);
                mapsDuplicates.run(linked, removeDuplicatesWithMaps);
            }
        }
    }
    auto line = [](const char* what, Side& a, Side& b) {
        const double ma = median(a.times), mb = median(b.times);
        std::printf("  %-22s hand-written %7.2f ms  std::unordered_map %7.2f ms  ratio %.2f\n",
                    what, ma, mb, mb / ma);
    };
    std::printf("medians of %d runs:\n", Runs);
    line("link", oursLink, mapsLink);
    line("remove duplicates", oursDuplicates, mapsDuplicates);
    std::vector<double> oursTotal, mapsTotal;
    for (int run = 0; run < Runs; ++run) {
        oursTotal.push_back(oursLink.times[run] + oursDuplicates.times[run]);
        mapsTotal.push_back(mapsLink.times[run] + mapsDuplicates.times[run]);
    }
    Side a{oursTotal}, b{mapsTotal};
    line("both", a, b);
    return 0;
}
