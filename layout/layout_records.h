// The other records of a layout file: placed objects (second list), entries
// (third list), the five cameras, the properties block and the entry tails.
//
// Object record, 36 + 2n bytes for a path of n bytes:
//   OFFSET     SIZE  TYPE   MEANING
//   0          2     i16    id
//   2          1+n   text   path of the model, without extension
//   3+n        12    3 i32  position x, y, z (cm)
//   15+n       4     f32    direction.x
//   19+n       4     f32    direction.y WITH ITS SIGN INVERTED
//   23+n       4     f32    direction.z
//   27+n       1+n   text   copy of path (verified)
//   28+2n      8     2 i32  param1, param2
// Objects are the only records whose y direction is stored negated; a y of
// 0.0 in memory is stored as the pattern 00 00 00 80.
//
// Entry record, 61 + 2n + t bytes for a name of n and a text2 of t bytes:
//   id (i16), name (text), copy of id (i16, verified), text2 (text),
//   values (11 x i32), bytes (3 x u8), copy of name (text, verified),
//   byteA (u8), shortA (i16), byteB (u8), shortB (i16), byteC (u8).
//
// Camera record, 32 bytes, nothing verified:
//   direction (3 x f32), position (3 x i32, cm), param1, param2 (i32).
//
// Properties block, 32 bytes:
//   OFFSET  SIZE  MEANING
//   0       3     colourA (3 x u8)
//   3       1     separator, always 0 (verified)
//   4       3     colourB (3 x u8)
//   7       1     separator, always 0 (verified)
//   8       20    extraBytes, read as one block
//   28      4     extraValue (i32)
//
// Entry tail, 7 bytes: tailInt (i32), tailByte (u8), tailShort (i16). The
// tails stand after the properties block; which entries have one, and in
// which order, is Layout's business (layout.h).
#pragma once

#include "layout/layout_fields.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t MinObjectRecordSize = 36;
inline constexpr std::size_t MinEntryRecordSize = 61;

struct ObjectRecord {
    std::int16_t id = 0; // 0 = removed: not counted, not written
    std::string path;    // model path without extension, e.g. "..\Prellbock"
    Point3 position;     // cm; position.z is the height
    Vector3 direction;   // same convention as a track's direction
    std::int32_t param1 = 0;
    std::int32_t param2 = 0;

    // Reads one record into this zero-filled record. False when the copy of
    // path disagrees (no message) or the file ends inside the record (the
    // reader is then failed).
    bool read(ByteReader& r);
    // Appends the record; nothing when id is 0. False, after showing
    // "%s: Text zu lang!\n", when path is longer than 255 bytes.
    bool write(ByteWriter& w) const;

    // Same place, same direction (float equality: -0.0 equals 0.0, NaN equals
    // nothing) and the same path byte for byte; id and params do not count.
    bool sameAs(const ObjectRecord& other) const;
};

struct EntryTail {
    std::int32_t tailInt = 0;
    std::uint8_t tailByte = 0;
    std::int16_t tailShort = 0;

    // Tails have no check of their own: a cut one leaves the reader failed.
    void read(ByteReader& r);
    void write(ByteWriter& w) const;
};

struct EntryRecord {
    std::int16_t id = 0; // 0 = removed; also the key that orders the tails
    std::string name;
    std::string text2;
    std::array<std::int32_t, 11> values{};
    std::array<std::uint8_t, 3> bytes{};
    std::uint8_t byteA = 0;
    std::int16_t shortA = 0;
    std::uint8_t byteB = 0;
    std::int16_t shortB = 0;
    std::uint8_t byteC = 0;
    EntryTail tail; // zero when the entry has no tail in the file

    // Reads one record (without its tail). False when the copy of id (console
    // line) or of name (no message) disagrees, or the file ends inside it.
    bool read(ByteReader& r);
    // Appends the record without its tail; nothing when id is 0. False, after
    // showing "%s: Text zu lang!\n", when a text is longer than 255 bytes.
    bool write(ByteWriter& w) const;
};

struct CameraRecord {
    Vector3 direction; // viewing direction
    Point3 position;   // cm; position.z is the height
    std::int32_t param1 = 0;
    std::int32_t param2 = 0;

    // Reads the eight words; a cut camera leaves the reader failed.
    void read(ByteReader& r);
    void write(ByteWriter& w) const;
    // The standard view the generator gives all five cameras.
    void setDefault();
};

struct LayoutProperties {
    std::array<std::uint8_t, 3> colourA{};
    std::array<std::uint8_t, 3> colourB{};
    std::array<std::uint8_t, 20> extraBytes{};
    std::int32_t extraValue = 0;

    // The bytes before extraBytes: colours and separators.
    static constexpr std::size_t HeadSize = 8;

    // Reads the block. False when a separator is not 0 (the console line of
    // expectByte), or when the file ends before the head is complete (the
    // line, then the reader is failed: the caller reports the cut), or when
    // fewer than 20 extraBytes remain: that shows "Feher in Eigenschaften!\n"
    // itself. A cut inside extraValue only leaves the reader failed.
    bool read(ByteReader& r);
    void write(ByteWriter& w) const;
};
