#include "layout/layout.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

TrackRecord straight(std::int32_t type, Point3 start, Point3 end, Vector3 direction) {
    TrackRecord t;
    t.id = 1;
    t.type = type;
    t.updateConnectionCount();
    t.start = start;
    t.end = end;
    t.direction = direction;
    return t;
}

ObjectRecord object(std::int16_t id, const char* path, Point3 position, Vector3 direction) {
    ObjectRecord o;
    o.id = id;
    o.path = path;
    o.position = position;
    o.direction = direction;
    return o;
}

bool sameBits(const Vector3& a, const Vector3& b) {
    const float x[] = {a.x, a.y, a.z}, y[] = {b.x, b.y, b.z};
    return std::memcmp(x, y, sizeof x) == 0;
}

bool equalFloats(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// The rules as they read, pair by pair, for comparison with the hashed ones.
void pairwiseLink(Layout& l) {
    for (auto& t : l.tracks)
        t.link.reset();
    for (std::size_t j = 0; j < l.objects.size(); ++j) {
        const ObjectRecord& o = l.objects[j];
        for (auto& t : l.tracks) {
            bool match = false;
            if (isBridgePath(o.path)) {
                const Point3 m = t.midpoint();
                match = m.x == o.position.x && m.y == o.position.y &&
                        equalFloats(t.direction, o.direction);
            } else if (isBufferStopPath(o.path)) {
                const Point3 p = t.bufferStopPosition();
                match = t.connectionCount == 1 && p.x == o.position.x && p.y == o.position.y &&
                        equalFloats(t.endDirection(), o.direction);
            }
            if (match) {
                t.link = j;
                break;
            }
        }
    }
}

void pairwiseRemoveDuplicates(Layout& l) {
    const std::size_t n = l.objects.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (l.objects[i].id == 0) continue;
        for (std::size_t j = i + 1; j < n; ++j) {
            if (l.objects[j].id == 0 || !l.objects[i].sameAs(l.objects[j])) continue;
            for (auto& t : l.tracks)
                if (t.link == j) t.link.reset();
            l.objects[j].id = 0;
        }
    }
}

} // namespace

TEST(LayoutFixups, RoundingIsHalfAwayFromZeroAndSafe) {
    EXPECT_EQ(roundHalfAway(2.5), 3);
    EXPECT_EQ(roundHalfAway(-0.4), 0);
    EXPECT_EQ(roundHalfAway(3e9), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(roundHalfAway(std::nan("")), std::numeric_limits<std::int32_t>::min());

    TrackRecord t = straight(1, {-5, 2147483647, 0}, {0, 1, 0}, {1, 0, 0});
    EXPECT_EQ(t.midpoint().x, -3);          // -2.5 rounds away from zero
    EXPECT_EQ(t.midpoint().y, -1073741824); // the 32-bit sum wraps around
    // Far-apart ends: the differences are taken without overflow.
    t.start = {std::numeric_limits<std::int32_t>::min(), 0, 0};
    t.end = {std::numeric_limits<std::int32_t>::max(), 0, 0};
    EXPECT_TRUE(sameBits(t.endDirection(), {1.0f, 0.0f, 0.0f}));
}

TEST(LayoutFixups, HashedSearchesMatchThePairwiseRules) {
    // Small coordinate ranges and a few directions make matches frequent;
    // ids repeat, directions hold -0.0 and NaN, paths sit near the prefixes.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vector3 directions[] = {{1, 0, 0},       {1, -0.0f, 0}, {0, 1, 0},     {-0.0f, 1, 0},
                                  {0.6f, 0.8f, 0}, {nan, 0, 0},   {1, 0, -0.0f}, {1, 0, nan}};
    const char* paths[] = {"..\\Bruecken",  "..\\BrueckenHolz", "..\\Bruecke",
                           "..\\Prellbock", "..\\Prellbock2",   "Haus",
                           "..\\prellbock"};
    std::mt19937 rng(12345);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto flipZeros = [&](Vector3 d) {
        if (d.x == 0 && pick(2)) d.x = -d.x;
        if (d.y == 0 && pick(2)) d.y = -d.y;
        if (d.z == 0 && pick(2)) d.z = -d.z;
        return d;
    };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        Layout fast;
        const int trackCount = pick(40);
        for (int i = 0; i < trackCount; ++i) {
            TrackRecord t = straight(pick(2) ? 1 : 2, {pick(5) * 10, pick(5) * 10, pick(100)},
                                     {pick(5) * 10, pick(5) * 10, pick(100)}, directions[pick(8)]);
            t.id = static_cast<std::int16_t>(pick(4));
            fast.tracks.push_back(t);
        }
        const int objectCount = pick(60);
        for (int j = 0; j < objectCount; ++j) {
            ObjectRecord o = object(static_cast<std::int16_t>(pick(4)), paths[pick(7)],
                                    {pick(5) * 5, pick(5) * 5, pick(3)}, directions[pick(8)]);
            if (trackCount > 0 && pick(3) != 0) {
                const TrackRecord& t = fast.tracks[static_cast<std::size_t>(pick(trackCount))];
                const bool stop = isBufferStopPath(o.path);
                const Point3 p = stop ? t.bufferStopPosition() : t.midpoint();
                o.position = {p.x, p.y, pick(3)};
                o.direction = flipZeros(stop ? t.endDirection() : t.direction);
            }
            fast.objects.push_back(o);
            if (pick(4) == 0)
                fast.objects.push_back(fast.objects[static_cast<std::size_t>(pick(j + 1))]);
        }
        Layout slow = fast;

        fast.linkAttachedObjects();
        pairwiseLink(slow);
        for (std::size_t i = 0; i < fast.tracks.size(); ++i)
            ASSERT_EQ(fast.tracks[i].link, slow.tracks[i].link) << "track " << i;

        for (Layout* l : {&fast, &slow}) {
            for (auto& t : l->tracks)
                t.end.z += 7;
            l->placeAttachedObjects();
            // Extra links, some past the end of the objects (they count as
            // none), so that removals meet tracks linked to any object.
            for (std::size_t i = 0; i < l->tracks.size(); i += 3)
                if (!l->tracks[i].link) l->tracks[i].link = i % (l->objects.size() + 1);
        }
        fast.removeDuplicateObjects();
        pairwiseRemoveDuplicates(slow);
        for (std::size_t j = 0; j < fast.objects.size(); ++j) {
            ASSERT_EQ(fast.objects[j].id, slow.objects[j].id) << "object " << j;
            ASSERT_EQ(fast.objects[j].position.z, slow.objects[j].position.z);
            ASSERT_TRUE(sameBits(fast.objects[j].direction, slow.objects[j].direction));
        }
        for (std::size_t i = 0; i < fast.tracks.size(); ++i)
            ASSERT_EQ(fast.tracks[i].link, slow.tracks[i].link) << "track " << i;
    }
}
