#include "layout/track_record.h"

#include "common/message.h"
#include "common/numeric.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The descriptions below follow the piece table of track_record.h line by
// line; FieldReader and FieldWriter walk the same description, so the reader
// and the writer cannot drift apart.

template <class R, class V>
void walkSlot(R& slot, V& v) {
    v.value(slot.peerId);
    v.value(slot.peerEnd);
    v.zero16();
}

// Geometry, then identity. Inside the record's first core the identity
// repeats the head (id, name, type), so those are verified there too. code is
// the type code the record is stored under (see walkPieces).
template <class R, class V>
void walkCore(R& t, V& v, std::int32_t code) {
    v.value(t.direction.x);
    v.value(t.direction.y);
    v.value(t.direction.z);
    v.value(t.start.x);
    v.value(t.start.y);
    v.value(t.start.z);
    v.value(t.end.x);
    v.value(t.end.y);
    v.value(t.end.z);
    v.again(t.id);
    v.again(t.name);
    v.again(t.type);
    walkSlot(t.connections[0], v);
    if (code != 2) walkSlot(t.connections[1], v);
}

// Pieces 4 to 12; which are present depends on the code alone. The reader
// and the writer pass the record's type; the size calculation passes the code
// the writer would give it, without changing the record.
template <class R, class V>
void walkPieces(R& t, V& v, std::int32_t code) {
    const bool threeEnds = code == 3 || code == 4 || code == 8 || code == 9;
    const bool fourEnds = code == 4 || code == 9;

    if (code == 6 || code == 7) v.value(t.variant); // 4
    if (fourEnds) {                                 // 5
        walkSlot(t.connections[3], v);
        v.value(t.setting2);
    }
    if (threeEnds) { // 6
        walkSlot(t.connections[2], v);
        v.value(t.setting1);
    }
    if (code == 11) { // 7
        v.zero32();
        v.zero16();
        v.value(t.setting1);
    }
    walkCore(t, v, code);            // 8
    if (code == 6) v.value(t.text2); // 9
    if (code == 9) {                 // 10
        v.copy([&] {
            walkSlot(t.connections[2], v);
            v.value(t.setting1);
            walkCore(t, v, code);
        });
    }
    if (code == 8 || code == 9) { // 11
        v.value(t.variant);
        v.copy([&] { walkCore(t, v, code); });
    }
    if (code == 11) { // 12
        v.zero32();
        v.copy([&] { walkCore(t, v, code); });
    }
}

template <class V>
void walkPoint(const Point3& p, V& v) {
    v.value(p.x);
    v.value(p.y);
    v.value(p.z);
}

// Piece 13 of code 11. Which slots carry data depends on the presence words,
// so reader and writer are written out by hand, side by side.
bool readSlotTable(TrackRecord& t, ByteReader& r) {
    const std::int16_t extra = r.i16();
    if (r.failed()) return false;
    // More than 18 extra slots would not fit the 20 slots; a negative value is
    // no count at all. Both refuse the record without a message.
    if (extra < 0 || extra > MaxTrackConnections - 2) return false;
    t.connectionCount = static_cast<std::int16_t>(extra + 2);

    // The presence word's low 16 bits stand in the slot's peerId until the
    // slot's own data replaces them.
    std::array<bool, MaxTrackConnections> used{};
    for (int s = 2; s < t.connectionCount; ++s) {
        const std::int32_t presence = r.i32();
        used[s] = presence != 0;
        t.connections[s].peerId = static_cast<std::int16_t>(presence & 0xFFFF);
    }

    FieldReader v(r);
    for (Point3* p : {&t.pointA, &t.pointB, &t.pointC}) {
        v.value(p->x);
        v.value(p->y);
        v.value(p->z);
    }
    v.copy([&] {
        v.value(t.pointB.x);
        v.value(t.pointB.y);
        v.value(t.pointB.z);
    });
    for (int s = 2; s < t.connectionCount; ++s)
        if (used[s]) walkSlot(t.connections[s], v);
    v.value(t.realValue);
    v.copy([&] { v.value(t.realValue); });
    v.value(t.setting2);
    return v.ok() && !r.failed();
}

// The writer's half of piece 13, also walked by the size calculation.
template <class V>
void writeSlotTable(const TrackRecord& t, V& v) {
    // Only a record built in memory can hold a count outside 2..20; writing
    // it as it stands would give a file no reader accepts.
    const int count = std::clamp<int>(t.connectionCount, 2, MaxTrackConnections);
    v.value(static_cast<std::int16_t>(count - 2));
    for (int s = 2; s < count; ++s)
        v.value(static_cast<std::int32_t>(t.connections[s].peerId != 0 ? 1 : 0));
    walkPoint(t.pointA, v);
    walkPoint(t.pointB, v);
    walkPoint(t.pointC, v);
    walkPoint(t.pointB, v);
    for (int s = 2; s < count; ++s)
        if (t.connections[s].peerId != 0) walkSlot(t.connections[s], v);
    v.value(t.realValue);
    v.value(t.realValue);
    v.value(t.setting2);
}

} // namespace

bool isTrackTypeCode(std::int32_t code) {
    switch (code) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 7:
    case 8:
    case 9:
    case 11:
        return true;
    default:
        return false;
    }
}

void TrackRecord::updateConnectionCount() {
    switch (type) {
    case 1:
    case 6:
    case 7:
        connectionCount = 2;
        break;
    case 2:
        connectionCount = 1;
        break;
    case 3:
    case 8:
        connectionCount = 3;
        break;
    case 4:
    case 9:
        connectionCount = 4;
        break;
    default:
        break;
    }
}

void TrackRecord::updateTypeCode() {
    type = storedTypeCode();
}

std::int32_t TrackRecord::storedTypeCode() const {
    if (type == 6 || type == 11) return type;
    const bool plain = variant == 0;
    switch (connectionCount) {
    case 1:
        return 2;
    case 2:
        return plain ? 1 : 7;
    case 3:
        return plain ? 3 : 8;
    case 4:
        return plain ? 4 : 9;
    default:
        return type;
    }
}

std::size_t TrackRecord::storedSize() const {
    if (id == 0) return 0;
    const std::int32_t code = storedTypeCode();
    if (!isTrackTypeCode(code)) return 0;
    FieldSizer v;
    v.value(id);
    v.value(name);
    v.value(code);
    walkPieces(*this, v, code);
    if (code == 11) writeSlotTable(*this, v);
    return v.size();
}

bool TrackRecord::read(ByteReader& r) {
    FieldReader v(r);
    v.value(id);
    v.value(name);
    v.value(type);
    // A file cut inside the head is a cut file, not an unknown code made of
    // the zeros a read past the end yields.
    if (r.failed()) return false;
    if (!isTrackTypeCode(type)) return report("%s: Unbekannter Typ %d!\n", name.c_str(), type);
    updateConnectionCount();
    walkPieces(*this, v, type);
    if (!v.ok() || r.failed()) return false;
    if (type == 11) return readSlotTable(*this, r);
    return true;
}

bool TrackRecord::write(ByteWriter& w) {
    if (id == 0) return true;
    updateTypeCode();
    if (!isTrackTypeCode(type)) return report("%s: Unbekannter Typ %d!\n", name.c_str(), type);
    FieldWriter v(w);
    v.value(id);
    v.value(name);
    v.value(type);
    walkPieces(std::as_const(*this), v, type);
    if (!v.ok()) return refuseLongText(*v.tooLong());
    if (type == 11) writeSlotTable(*this, v);
    return true;
}

std::int32_t roundHalfAway(double v) {
    return truncToInt32(v > 0 ? v + 0.5 : v - 0.5);
}

Vector3 TrackRecord::endDirection() const {
    // The differences are taken in double, where they cannot overflow.
    const double a = std::atan2(static_cast<double>(end.y) - static_cast<double>(start.y),
                                static_cast<double>(end.x) - static_cast<double>(start.x));
    const double b = std::atan2(static_cast<double>(direction.y), static_cast<double>(direction.x));
    const double t = 2.0 * a - b;
    return {static_cast<float>(std::cos(t)), static_cast<float>(std::sin(t)), 0.0f};
}

Point3 TrackRecord::bufferStopPosition() const {
    return bufferStopPosition(endDirection());
}

Point3 TrackRecord::bufferStopPosition(const Vector3& d) const {
    const std::int32_t ox = roundHalfAway(-300.0 * d.x);
    const std::int32_t oy = roundHalfAway(static_cast<float>(-300.0 * d.y));
    const std::int32_t oz = roundHalfAway(static_cast<float>(-300.0 * d.z));
    return {wrapAdd(end.x, ox), wrapAdd(end.y, oy), wrapAdd(end.z, oz)};
}

Point3 TrackRecord::midpoint() const {
    auto mean = [](std::int32_t a, std::int32_t b) { return roundHalfAway(wrapAdd(a, b) * 0.5); };
    return {mean(start.x, end.x), mean(start.y, end.y), mean(start.z, end.z)};
}
