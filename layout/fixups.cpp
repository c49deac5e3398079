// The consistency fix-ups around loading and saving: bridges and buffer stops
// follow the tracks they belong to, and duplicate objects are removed.
//
// The matching rules compare whole positions and directions for equality,
// so instead of trying every pair (30,000 objects would be 450 million
// comparisons) one side is put into a hash table keyed on exactly what the
// rule compares. Floats enter the key as bit patterns with -0.0 folded onto
// 0.0, and a NaN component keeps a record out of the tables altogether: the
// rules use float equality, under which -0.0 equals 0.0 and NaN equals
// nothing, not even itself. The results are those of the pairwise search.
//
// The tables are std::unordered_map and std::unordered_set. On 30,000
// objects they take 1.7 to 1.9 times as long as open addressing of our own
// (bench/fixup_tables_bench.cpp), some 10 ms more per load and save: less
// than the twice that would pay for tables of our own.
#include "layout/layout.h"

#include <bit>
#include <cmath>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::size_t None = static_cast<std::size_t>(-1);

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

// What linking compares: x and y of a place, and a direction.
struct PlaceKey {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t dx = 0;
    std::uint32_t dy = 0;
    std::uint32_t dz = 0;
    bool operator==(const PlaceKey&) const = default;
};

PlaceKey placeKey(const Point3& p, const Vector3& d) {
    return {p.x, p.y, keyBits(d.x), keyBits(d.y), keyBits(d.z)};
}

struct PlaceHash {
    std::size_t operator()(const PlaceKey& k) const {
        return mix(pair(keyBits(k.x), keyBits(k.y)) * 0x9e3779b97f4a7c15ULL ^
                   pair(k.dx, k.dy) * 0xc2b2ae3d27d4eb4fULL ^ k.dz);
    }
};

// The keys of the bridges (or of the buffer stops), each with the first track
// (array order) that has it, None until a track offers it.
using PlaceTable = std::unordered_map<PlaceKey, std::size_t, PlaceHash>;

void offer(PlaceTable& table, const PlaceKey& key, std::size_t track) {
    const auto it = table.find(key);
    if (it != table.end() && it->second == None) it->second = track;
}

// Exactly what ObjectRecord::sameAs compares.
std::uint64_t hashOf(const ObjectRecord& o) {
    std::uint64_t h = std::hash<std::string_view>{}(o.path);
    h ^= pair(keyBits(o.position.x), keyBits(o.position.y)) * 0x9e3779b97f4a7c15ULL;
    h ^= pair(keyBits(o.position.z), keyBits(o.direction.x)) * 0xc2b2ae3d27d4eb4fULL;
    h ^= pair(keyBits(o.direction.y), keyBits(o.direction.z)) * 0x165667b19e3779f9ULL;
    return mix(h);
}

} // namespace

ObjectRecord* Layout::linkedObject(const TrackRecord& track) {
    if (!track.link || *track.link >= objects.size()) return nullptr;
    return &objects[*track.link];
}

void Layout::linkAttachedObjects() {
    enum Kind : std::uint8_t { Other, Bridge, Stop };
    std::vector<Kind> kinds(objects.size(), Other);
    PlaceTable bridges, stops;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        const ObjectRecord& o = objects[j];
        if (hasNaN(o.direction)) continue; // equal to no direction at all
        if (isBridgePath(o.path)) {
            kinds[j] = Bridge;
            bridges.emplace(placeKey(o.position, o.direction), None);
        } else if (isBufferStopPath(o.path)) {
            kinds[j] = Stop;
            stops.emplace(placeKey(o.position, o.direction), None);
        }
    }

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

    // In array order, so that a later object takes over a track it shares.
    // Every such object's key is in its table.
    for (std::size_t j = 0; j < objects.size(); ++j) {
        if (kinds[j] == Other) continue;
        const PlaceTable& table = kinds[j] == Bridge ? bridges : stops;
        const std::size_t track =
            table.find(placeKey(objects[j].position, objects[j].direction))->second;
        if (track != None) tracks[track].link = j;
    }
}

void Layout::placeAttachedObjects() {
    for (auto& t : tracks) {
        ObjectRecord* o = linkedObject(t);
        if (!o) continue;
        if (isBufferStopPath(o->path)) {
            o->direction = t.endDirection();
            o->position = t.bufferStopPosition(o->direction);
        } else {
            o->position = t.midpoint();
            o->direction = t.direction;
        }
    }
}

void Layout::removeDuplicateObjects() {
    // An object is removed when an earlier live object is the same. Since
    // sameAs is an equivalence among objects without NaN, the first live one
    // of each kind stays and removes all later ones; it is the one in the
    // set, which holds object indexes hashed and compared by their objects.
    auto hash = [this](std::size_t j) { return static_cast<std::size_t>(hashOf(objects[j])); };
    auto same = [this](std::size_t a, std::size_t b) { return objects[a].sameAs(objects[b]); };
    std::unordered_set<std::size_t, decltype(hash), decltype(same)> kept(objects.size(), hash,
                                                                         same);
    std::vector<bool> removed(objects.size(), false);
    bool anyRemoved = false;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        ObjectRecord& o = objects[j];
        if (o.id == 0 || hasNaN(o.direction)) continue;
        if (!kept.insert(j).second) {
            o.id = 0;
            removed[j] = true;
            anyRemoved = true;
        }
    }
    if (!anyRemoved) return;
    for (auto& t : tracks)
        if (t.link && *t.link < removed.size() && removed[*t.link]) t.link.reset();
}
