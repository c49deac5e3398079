// Archives as the downloads arrive: ".zip" (stored and deflated entries, a
// ZIP64 directory for archives beyond 4 GiB) and ".gz" around any input.
// Nothing is unpacked to the disk: an entry is inflated into memory when its
// reader needs it, after its declared size has been checked against the
// limits, and the inflater never writes past that size.
//
// Every entry that is an elevation file or a picture is an input of its own,
// named in the messages as the archive's path, a slash and the entry's name
// ("dgm.zip/ordner/kachel.xyz"). World files and ".prj" files inside an
// archive belong to the entries beside them; other files (licences, PDFs,
// metadata) are passed over.
#pragma once

#include "common/byte_source.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The largest entry unpacked into memory (the inflater counts in int, and
// gets one byte more than the declared size).
inline constexpr std::uint64_t MaxUnpackedBytes = 0x7FFFFFF0;
// Deflate cannot pack more than 1032 bytes into one; a larger ratio between
// the declared and the packed size is a lie (an archive bomb), refused
// before anything is allocated.
inline constexpr std::uint64_t MaxDeflateRatio = 1032;

// One packed file: a zip entry or the member of a ".gz".
struct ArchiveEntry {
    std::string name;         // UTF-8, '/' between folders; a ".gz": its name less ".gz"
    bool gzip = false;        // a ".gz" member (else a zip entry)
    int method = 0;           // 0 stored, 8 deflated
    bool encrypted = false;   // zip flag bit 0
    std::uint64_t header = 0; // zip: the local header's offset; gz: where the deflate data begins
    std::uint64_t packedSize = 0; // bytes in the archive (zip: after the local header)
    std::uint64_t size = 0;       // unpacked, as declared (gz: modulo 2^32)
    std::uint32_t crc = 0;        // CRC-32 of the unpacked bytes, as declared
};

// The CRC-32 of ZIP, gzip and PNG (polynomial 0xEDB88320), continued from crc.
std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);

// True when the bytes begin like a zip ("PK\3\4", or an empty one's
// "PK\5\6") or a gzip member (1F 8B).
bool looksLikeZip(std::span<const std::uint8_t> head);
bool looksLikeGzip(std::span<const std::uint8_t> head);

// The file entries of a zip archive (folders left out), in the order of its
// central directory; names in UTF-8 (flag bit 11) or code page 437 turned
// into UTF-8. False after one message naming the archive when its directory
// is broken or spans several disks.
[[nodiscard]] bool listZip(const std::string& name, const ByteSource& archive,
                           std::vector<ArchiveEntry>& entries);
// The member of a gzip file (RFC 1952), named after the file less its
// ".gz". False after one message when its header is broken.
[[nodiscard]] bool readGzipHeader(const std::string& name, const ByteSource& archive,
                                  ArchiveEntry& entry);

// Unpacks one entry into out, at most maxBytes of it: the sizes are checked
// before anything is allocated, the inflater stops at the declared size, and
// the CRC-32 and the size are compared with the declared ones. shownName
// names the entry in the one message a refusal gives (encrypted, method
// unknown, too large, an archive bomb, truncated, broken).
[[nodiscard]] bool unpackEntry(const std::string& shownName, const ByteSource& archive,
                               const ArchiveEntry& entry, std::uint64_t maxBytes,
                               std::vector<std::uint8_t>& out);

// One input of the converter: a plain file, or an entry of an archive.
struct InputFile {
    std::string path; // the file on the disk
    std::string name; // shown in messages: the path, or "path/entry"
    bool packed = false;
    ArchiveEntry entry;                                          // when packed
    std::shared_ptr<const std::vector<ArchiveEntry>> neighbours; // a zip's entries
};

// What an input is for, by the extension of its name (any case).
enum class EntryKind { Heights, Picture, Archive, Other };
EntryKind kindOfName(const std::string& name);

// Expands the paths given into inputs: a plain file is itself, a ".zip" its
// elevation files and pictures (the ones of a zip given as a picture are all
// pictures), a ".gz" its member. Height inputs go to heights, pictures to
// pictures, in the order given. False after one message naming the archive
// or the entry (a nested archive, an encrypted entry, a zip holding no
// input).
[[nodiscard]] bool expandInputs(const std::vector<std::string>& paths, bool asPictures,
                                std::vector<InputFile>& heights, std::vector<InputFile>& pictures);

// The bytes of an input, open for its reader.
class OpenInput {
  public:
    const ByteSource& source() const {
        if (memory_) return *memory_;
        return file_;
    }
    // The bytes of another entry of the same archive (a world file or
    // ".prj" beside an entry), named by its full entry name; false (nothing
    // shown) when there is none or it cannot be read.
    bool neighbour(const std::string& entryName, std::vector<std::uint8_t>& bytes) const;
    // True when the input is a file on the disk.
    bool onDisk() const { return !memory_; }

  private:
    friend bool openInput(const InputFile& input, OpenInput& open);
    const InputFile* input_ = nullptr;
    FileSource file_;
    std::vector<std::uint8_t> bytes_;
    std::unique_ptr<MemorySource> memory_;
};

// Reads an elevation input (readElevationFile), unpacked first when it is
// an archive's entry. False after one message naming it.
struct ElevationGrid;
struct ReadOptions;
[[nodiscard]] bool readElevationInput(const InputFile& input, ElevationGrid& out,
                                      const ReadOptions& options);

// Opens a plain input or unpacks an archive's entry (unpackEntry, up to
// MaxUnpackedBytes). False after one message naming it.
[[nodiscard]] bool openInput(const InputFile& input, OpenInput& open);
