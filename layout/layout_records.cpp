#include "layout/layout_records.h"

#include "common/message.h"

#include <bit>
#include <utility>

namespace {

// Each description follows the field table of layout_records.h.

template <class R, class V>
void walkObject(R& o, V& v) {
    v.value(o.id);
    v.value(o.path);
    v.value(o.position.x);
    v.value(o.position.y);
    v.value(o.position.z);
    v.value(o.direction.x);
    v.negated(o.direction.y);
    v.value(o.direction.z);
    v.again(o.path);
    v.value(o.param1);
    v.value(o.param2);
}

template <class R, class V>
void walkEntry(R& e, V& v) {
    v.value(e.id);
    v.value(e.name);
    v.again(e.id);
    v.value(e.text2);
    for (auto& x : e.values)
        v.value(x);
    for (auto& b : e.bytes)
        v.value(b);
    v.again(e.name);
    v.value(e.byteA);
    v.value(e.shortA);
    v.value(e.byteB);
    v.value(e.shortB);
    v.value(e.byteC);
}

template <class R, class V>
void walkTail(R& t, V& v) {
    v.value(t.tailInt);
    v.value(t.tailByte);
    v.value(t.tailShort);
}

template <class R, class V>
void walkCamera(R& c, V& v) {
    v.value(c.direction.x);
    v.value(c.direction.y);
    v.value(c.direction.z);
    v.value(c.position.x);
    v.value(c.position.y);
    v.value(c.position.z);
    v.value(c.param1);
    v.value(c.param2);
}

bool finishWrite(const FieldWriter& v) {
    return v.ok() || refuseLongText(*v.tooLong());
}

} // namespace

bool ObjectRecord::read(ByteReader& r) {
    FieldReader v(r);
    walkObject(*this, v);
    return v.ok() && !r.failed();
}

bool ObjectRecord::write(ByteWriter& w) const {
    if (id == 0) return true;
    FieldWriter v(w);
    walkObject(*this, v);
    return finishWrite(v);
}

bool ObjectRecord::sameAs(const ObjectRecord& other) const {
    return position.x == other.position.x && position.y == other.position.y &&
           position.z == other.position.z && direction.x == other.direction.x &&
           direction.y == other.direction.y && direction.z == other.direction.z &&
           path == other.path;
}

void EntryTail::read(ByteReader& r) {
    FieldReader v(r);
    walkTail(*this, v);
}

void EntryTail::write(ByteWriter& w) const {
    FieldWriter v(w);
    walkTail(*this, v);
}

bool EntryRecord::read(ByteReader& r) {
    FieldReader v(r);
    walkEntry(*this, v);
    return v.ok() && !r.failed();
}

bool EntryRecord::write(ByteWriter& w) const {
    if (id == 0) return true;
    FieldWriter v(w);
    walkEntry(*this, v);
    return finishWrite(v);
}

void CameraRecord::read(ByteReader& r) {
    FieldReader v(r);
    walkCamera(*this, v);
}

void CameraRecord::write(ByteWriter& w) const {
    FieldWriter v(w);
    walkCamera(*this, v);
}

void CameraRecord::setDefault() {
    // The unit vector of the standard view: (0.909250020980835,
    // 0.4075950086116791, -0.08444300293922424) scaled by the reciprocal of
    // the square root of its squared length (0.9999999124441974), each
    // component rounded to f32. Given as bit patterns, so that no build's
    // square root can move a last bit.
    direction = {std::bit_cast<float>(0x3F68C49Du), std::bit_cast<float>(0x3ED0B04Cu),
                 std::bit_cast<float>(0xBDACF074u)};
    position = {-18100, -6500, 2000};
    param1 = 38;
    param2 = 47200;
}

bool LayoutProperties::read(ByteReader& r) {
    for (auto& c : colourA)
        c = r.u8();
    if (!expectByte(r, 0)) return false;
    for (auto& c : colourB)
        c = r.u8();
    if (!expectByte(r, 0)) return false;
    if (!r.bytes(extraBytes.data(), extraBytes.size())) return report("Feher in Eigenschaften!\n");
    extraValue = r.i32();
    return true;
}

void LayoutProperties::write(ByteWriter& w) const {
    w.bytes(colourA.data(), colourA.size());
    w.u8(0);
    w.bytes(colourB.data(), colourB.size());
    w.u8(0);
    w.bytes(extraBytes.data(), extraBytes.size());
    w.i32(extraValue);
}
