// Layout: the host's layout file (".anl") as a whole, and its in-memory model.
//
// The file has no magic number, version or record lengths:
//   #  CONTENT                                                     SIZE
//   1  trackCount (i16), then that many track records              2 + variable
//   2  objectCount (i16), then that many object records            2 + variable
//   3  entryCount (i16), then that many entry records              2 + variable
//   4  five camera records                                         5 x 32
//   5  the properties block                                        32
//   6  one entry tail for each entry with an id from 1 to 29999,   7 each
//      in ascending order of id; of entries that share an id only
//      the first in array order has one
//   7  end of file: nothing may follow
// An empty layout is 198 bytes. A negative count reads as an empty list.
// Records are described in track_record.h and layout_records.h.
//
// A record whose id is 0 is removed: it stays in its array in memory but is
// neither counted nor written. Counts written are those of live records.
//
// Console lines (standard output) report copies that disagree; everything else
// is shown through the message function:
//   "Can't open %s!\n"          the file cannot be opened or read
//   "%s ist keine Datei!\n"     a device, FIFO or socket instead of a file
//   "Formatfehler!\n"           the file ends inside a record, the cameras,
//                               the properties or the tails
//   "Datei zu lang!\n"          bytes follow the last tail, or the file is
//                               larger than any layout (256 MiB)
//   "%s: Unbekannter Typ %d!\n" a track type code outside the accepted set
//   "Feher in Eigenschaften!\n" the properties block ends inside its 20 bytes
#pragma once

#include "layout/layout_records.h"
#include "layout/track_record.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Entry ids from 1 to 29999 have a tail; ids from this one on have none.
inline constexpr std::int32_t EntryTailLimit = 30000;

// Path prefixes of the objects that belong to a track, compared byte for byte
// over their own length only.
inline constexpr std::string_view BridgePrefix = "..\\Bruecken";
inline constexpr std::string_view BufferStopPrefix = "..\\Prellbock";

bool isBridgePath(std::string_view path);
bool isBufferStopPath(std::string_view path);

// What a load did.
enum class LoadResult {
    Loaded,       // the whole file, without any complaint
    Refused,      // not read, or not a layout: a message has said why
    Inconsistent, // stopped at a copy that disagrees or a count nothing can
                  // hold: console lines at most, no message
};

struct Layout {
    std::vector<TrackRecord> tracks;
    std::vector<ObjectRecord> objects;
    std::vector<EntryRecord> entries;
    std::array<CameraRecord, 5> cameras{};
    LayoutProperties properties;

    // Reads the whole file into this layout, replacing its lists, cameras and
    // properties. Links the attached objects only when the file was read
    // without any complaint (Loaded); otherwise the messages of the header
    // comment or console lines alone (Inconsistent), and the lists keep the
    // records read up to the failure.
    [[nodiscard]] LoadResult load(std::string_view path);
    // The same over bytes already in memory.
    [[nodiscard]] LoadResult loadFromMemory(const std::uint8_t* data, std::size_t size);

    // Moves the attached objects onto their tracks, removes duplicate objects
    // and writes the whole file through the platform's safe replacement, so a
    // failed save leaves any old file as it was. Returns true when the file
    // holds the new layout. Refused before anything is written, with a
    // message: a text longer than 255 bytes ("%s: Text zu lang!\n"), more than
    // 32767 live records in a list ("Zu viele %s (%d)!\n" with "Gleise",
    // "Objekte" or "Eintraege"), a track whose type code the reader would
    // refuse. Failures of the file itself: "Can't open %s!\n",
    // "Fehler beim Schreiben von %s!\n". The fix-ups stay applied in memory
    // either way; running them again changes nothing.
    bool save(std::string_view path);
    // The file image save writes, without running the fix-ups. False (after
    // the message) when save would refuse; out then holds an incomplete image.
    bool writeImage(std::vector<std::uint8_t>& out);

    // Empties the lists. Cameras and properties stay as
    // they are.
    void clear();

    // The entries that carry a tail, in file order (see the table above).
    std::vector<std::size_t> tailOrder() const;

    // After a load: links every bridge to the first track (array order) whose
    // midpoint has the bridge's x and y and whose direction equals the
    // bridge's, and every buffer stop to the first track with one connection
    // whose bufferStopPosition has the stop's x and y and whose endDirection
    // equals the stop's direction. Heights do not count; float equality means
    // -0.0 equals 0.0 and NaN equals nothing. A later object that matches an
    // already linked track takes the link over.
    void linkAttachedObjects();
    // Before a save: every linked buffer stop gets bufferStopPosition and
    // endDirection of its track, every other linked object the track's
    // midpoint (height included) and direction.
    void placeAttachedObjects();
    // Removes every live object that is sameAs an earlier live object: it
    // gets id 0 and the tracks linked to it lose their link.
    void removeDuplicateObjects();

    // The object linked to a track, or null.
    ObjectRecord* linkedObject(const TrackRecord& track);
};
