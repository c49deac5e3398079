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
#include "layout/layout.h"

#include <bit>
#include <cmath>
#include <functional>
#include <string_view>
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

// A power of two at least twice the entries, so that probes stay short.
std::size_t tableSize(std::size_t entries) {
    std::size_t size = 16;
    while (size < 2 * entries)
        size *= 2;
    return size;
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

std::uint64_t hashOf(const PlaceKey& k) {
    return mix(pair(keyBits(k.x), keyBits(k.y)) * 0x9e3779b97f4a7c15ULL ^
               pair(k.dx, k.dy) * 0xc2b2ae3d27d4eb4fULL ^ k.dz);
}

// The keys of the bridges (or of the buffer stops), each with the first track
// (array order) that has it. The tracks are offered once, in array order, and
// most of them match nothing: a byte of each key's hash in a small array of
// its own answers those without touching the slots, which the walk over the
// tracks keeps pushing out of the cache.
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
    // The first track with the key, or None.
    std::size_t trackOf(const PlaceKey& key) {
        const Slot* s = find(key);
        return s ? s->track : None;
    }

  private:
    struct Slot {
        PlaceKey key;
        std::size_t track = None;
    };
    // Never 0, which marks a free slot.
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
    std::size_t bridgeCount = 0;
    std::size_t stopCount = 0;
    for (std::size_t j = 0; j < objects.size(); ++j) {
        const ObjectRecord& o = objects[j];
        if (hasNaN(o.direction)) continue; // equal to no direction at all
        if (isBridgePath(o.path)) {
            kinds[j] = Bridge;
            ++bridgeCount;
        } else if (isBufferStopPath(o.path)) {
            kinds[j] = Stop;
            ++stopCount;
        }
    }
    PlaceTable bridges(bridgeCount);
    PlaceTable stops(stopCount);
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

    // In array order, so that a later object takes over a track it shares.
    for (std::size_t j = 0; j < objects.size(); ++j) {
        if (kinds[j] == Other) continue;
        const PlaceKey key = placeKey(objects[j].position, objects[j].direction);
        const std::size_t track = kinds[j] == Bridge ? bridges.trackOf(key) : stops.trackOf(key);
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
    // table. The table holds object indexes with their hashes, so that only
    // objects of equal hash are compared.
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
                removed[j] = true;
                anyRemoved = true;
                break;
            }
        }
    }
    if (!anyRemoved) return;
    for (auto& t : tracks)
        if (t.link && *t.link < removed.size() && removed[*t.link]) t.link.reset();
}
