// One track element of a layout file: the first list of a ".anl".
//
// Recurring groups (all integers in cm, directions unitless):
//   geometry  direction.x, .y, .z (f32 each), start.x, .y, .z, end.x, .y, .z
//             (i32 each)                                                36 bytes
//   slot      peerId (i16), peerEnd (i16), a zero word (i16)             6 bytes
//   identity  id (i16), name (text), type (i32), slot 0, and slot 1
//             except for code 2                          19 + n (13 + n) bytes
//   core      geometry, then identity                    55 + n (49 + n) bytes
//
// A record, piece by piece; [codes] marks a piece only those codes store:
//   #   PIECE        FIELDS                                     READING
//   1               id (i16)                                    read
//   2               name (text)                                 read
//   3               type (i32)                                  read, checked
//   4   [6, 7]      variant (i32)                               read
//   5   [4, 9]      slot 3, setting2 (i16)                      read, zero verified
//   6   [3,4,8,9]   slot 2, setting1 (i16)                      read, zero verified
//   7   [11]        i32 0, i16 0, setting1 (i16)                zeros verified
//   8               core                                        geometry read, rest
//                                                               verified (slots read)
//   9   [6]         text2 (text)                                read
//   10  [9]         copy of piece 6, then a copy of the core    verified
//   11  [8, 9]      variant (i32), then a copy of the core      variant read, copy verified
//   12  [11]        i32 0, then a copy of the core              verified
//   13  [11]        the slot table:
//                     m (i16)           slots beyond the first two, 0..18
//                     m x i32           presence of slots 2.., 1 used / 0 free
//                     pointA, pointB, pointC (3 x i32 each), copy of pointB
//                     for each used slot in order: slot (6 bytes)
//                     realValue (f32), its copy; setting2 (i16)
//
// Sizes for a name of n and a text2 of t bytes: code 1: 62 + 2n, 2: 56 + 2n,
// 7: 66 + 2n, 6: 67 + 2n + t, 3: 70 + 2n, 4: 78 + 2n, 8: 129 + 3n,
// 9: 200 + 4n, 11 with m extra slots of which k are used: 189 + 3n + 4m + 6k.
// The smallest possible record is code 2 with an empty name: 56 bytes.
#pragma once

#include "layout/layout_fields.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct TrackConnection {
    std::int16_t peerId = 0;  // id of the connected track; for code 11, 0 = free slot
    std::int16_t peerEnd = 0; // which end of that track
};

inline constexpr int MaxTrackConnections = 20;
inline constexpr std::size_t MinTrackRecordSize = 56;

struct TrackRecord {
    std::string name;  // shown in the message for a refused type code
    std::string text2; // code 6 only
    // Index in Layout::objects of the bridge or buffer stop that belongs to
    // this track; memory only. An index keeps pointing at the same object
    // when the objects array grows, and removed objects keep their place
    // (their id becomes 0); an index past the array's end counts as none.
    std::optional<std::size_t> link;
    std::int16_t id = 0;              // 0 = removed: not counted, not written
    std::int32_t type = 0;            // 1, 2, 3, 4, 6, 7, 8, 9 or 11
    std::int32_t variant = 0;         // stored by codes 6 to 9; non-zero turns 1/3/4 into 7/8/9
    Vector3 direction;                // the direction in which the element leaves start
    Point3 start;                     // cm
    Point3 end;                       // cm
    std::int16_t connectionCount = 0; // slots in use: 1..4 from the code, 2..20 for code 11
    std::array<TrackConnection, MaxTrackConnections> connections{};
    std::int16_t setting1 = 0; // codes 3, 4, 8, 9, 11
    std::int16_t setting2 = 0; // codes 4, 9, 11
    Point3 pointA;             // code 11
    Point3 pointC;             // code 11
    Point3 pointB;             // code 11
    float realValue = 0.0f;    // code 11

    // Reads one record into this zero-filled record. False on a refused type
    // code (shows "%s: Unbekannter Typ %d!\n"), on a copy that disagrees
    // (console line for numbers, nothing for texts), on a code-11 slot count
    // outside 0..18 (nothing), and when the file ends inside the record (the
    // reader is then failed; the caller reports the cut). The record keeps
    // what was read so far.
    bool read(ByteReader& r);

    // Appends the record; nothing when id is 0. Runs updateTypeCode first,
    // then writes the pieces of the resulting code, every copy from the one
    // value in memory and every zero word as 0. A code-11 record writes at
    // most 20 slots. Returns false, after showing the message, when the code
    // is not one the reader accepts ("%s: Unbekannter Typ %d!\n") or a text is
    // longer than 255 bytes ("%s: Text zu lang!\n", naming the text): such a
    // file could not be read back.
    bool write(ByteWriter& w);

    // connectionCount from type: 1, 6, 7 give 2; 2 gives 1; 3, 8 give 3;
    // 4, 9 give 4; code 11 (and any other) is left alone.
    void updateConnectionCount();
    // type from connectionCount and variant (codes 6 and 11 are left alone):
    // 1 -> 2; 2 -> 1 or 7; 3 -> 3 or 8; 4 -> 4 or 9 (variant 0 or not);
    // any other count leaves type unchanged.
    void updateTypeCode();
    // The code updateTypeCode would give the record, without changing it.
    std::int32_t storedTypeCode() const;
    // The bytes write appends for the record as it stands: 0 for a removed
    // record or a code the writer refuses; for texts longer than 255 bytes
    // (which it also refuses) the size they would take.
    std::size_t storedSize() const;

    // The direction at end of the circular arc that leaves start along
    // direction and ends at end: (cos t, sin t, 0) with t = 2a - b, where a is
    // the angle of end - start and b that of direction (its z plays no part).
    Vector3 endDirection() const;
    // Where a buffer stop of this track stands: 300 cm back from end along
    // endDirection, each offset rounded half away from zero (the y and z
    // products first stored as f32); sums wrap around in 32 bits.
    Point3 bufferStopPosition() const;
    // The same for an endDirection already at hand.
    Point3 bufferStopPosition(const Vector3& endDir) const;
    // The rounded mean of start and end (32-bit sums that wrap around).
    Point3 midpoint() const;
};

// True for the type codes a track record may carry.
bool isTrackTypeCode(std::int32_t code);

// The rounding of the fix-ups: v > 0 becomes trunc(v + 0.5), anything else
// trunc(v - 0.5). A result that does not fit in 32 bits, or NaN, gives
// -2147483648 as the x86 conversion does.
std::int32_t roundHalfAway(double v);
