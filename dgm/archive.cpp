#include "dgm/archive.h"

#include "common/bytes.h"
#include "common/message.h"
#include "common/paths.h"
#include "dgm/elevation_grid.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_picture.h"
#include "platform/platform.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <array>

namespace {

constexpr const char* Broken = "%s: Archiv beschaedigt!\n";
constexpr const char* Truncated = "%s ist unvollstaendig (abgeschnitten)!\n";
constexpr const char* WrongCrc = "%s: Pruefsumme falsch, Archiv beschaedigt!\n";
constexpr const char* Encrypted = "%s ist verschluesselt!\n";
constexpr const char* Nested = "%s ist ein Archiv im Archiv: bitte das aeussere auspacken!\n";
constexpr const char* Bomb = "%s: entpackte Groesse %llu Bytes aus %llu Bytes ist unglaubhaft "
                             "(Archivbombe)!\n";
constexpr const char* Longer = "%s: entpackt laenger als die angegebenen %llu Bytes "
                               "(beschaedigt oder Archivbombe)!\n";
constexpr const char* NoInput = "%s enthaelt keine Hoehendatei und kein Bild!\n";

// Slicing by eight: the CRC of a large tile costs less than its inflation.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;
constexpr CrcTables makeCrcTables() {
    CrcTables t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n)
        for (std::size_t k = 1; k < 8; ++k)
            t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    return t;
}
constexpr CrcTables Crc = makeCrcTables();

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t le64(const std::uint8_t* p) {
    return le32(p) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}

// The upper half of code page 437, the names of zips written without the
// UTF-8 flag (the DOS tools and the Windows shell).
constexpr std::uint16_t Cp437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

std::string cp437ToUtf8(std::span<const std::uint8_t> text) {
    std::string out;
    for (std::uint8_t b : text) {
        const unsigned c = b < 128 ? b : Cp437[b - 128];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The methods a user meets, named; the rest by number.
std::string methodName(int method) {
    switch (method) {
    case 9:
        return "Deflate64";
    case 12:
        return "BZIP2";
    case 14:
        return "LZMA";
    case 93:
        return "Zstandard";
    case 95:
        return "XZ";
    case 98:
        return "PPMd";
    default:
        return formatText("%d", method);
    }
}

unsigned long long ull(std::uint64_t v) {
    return v;
}

// Shows the message naming the archive or entry; false for the caller.
bool refuse(const char* format, const std::string& name) {
    report(format, name.c_str());
    return false;
}

// The end of the central directory: the last "PK\5\6" whose comment ends
// with the file. Then its ZIP64 form where the 32-bit fields overflowed.
struct Directory {
    std::uint64_t entries = 0, offset = 0, size = 0;
};

bool findDirectory(const std::string& name, const ByteSource& archive, Directory& dir) {
    const std::uint64_t total = archive.size();
    const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(total, 65557));
    std::vector<std::uint8_t> buffer;
    const std::span<const std::uint8_t> tail = archive.view(total - tailSize, tailSize, buffer);
    if (tail.size() != tailSize || tailSize < 22) return refuse(Broken, name);
    for (std::size_t i = tailSize - 22 + 1; i-- > 0;) {
        const std::uint8_t* p = tail.data() + i;
        if (le32(p) != 0x06054b50 || i + 22 + le16(p + 20) != tailSize) continue;
        if (le16(p + 4) != 0 || le16(p + 6) != 0) {
            report("%s: mehrteiliges Archiv wird nicht unterstuetzt!\n", name.c_str());
            return false;
        }
        dir.entries = le16(p + 10);
        dir.size = le32(p + 12);
        dir.offset = le32(p + 16);
        const std::uint64_t at = total - tailSize + i;
        if (dir.entries == 0xFFFF || dir.size == 0xFFFFFFFF || dir.offset == 0xFFFFFFFF) {
            std::uint8_t locator[20], end[56];
            if (at < 20 || !archive.read(at - 20, 20, locator) || le32(locator) != 0x07064b50 ||
                !archive.read(le64(locator + 8), 56, end) || le32(end) != 0x06064b50)
                return refuse(Broken, name);
            dir.entries = le64(end + 32);
            dir.size = le64(end + 40);
            dir.offset = le64(end + 48);
        }
        if (dir.offset > total || dir.size > total - dir.offset || dir.entries > dir.size / 46)
            return refuse(Broken, name);
        return true;
    }
    report(Broken, name.c_str());
    return false;
}

// The ZIP64 extra field (0x0001) holds the 64-bit size, packed size and
// offset, each only where its 32-bit field is all ones.
bool readZip64Extra(std::span<const std::uint8_t> extra, ArchiveEntry& e) {
    for (std::size_t i = 0; i + 4 <= extra.size();) {
        const std::uint16_t id = le16(&extra[i]), n = le16(&extra[i + 2]);
        if (i + 4 + n > extra.size()) return false;
        if (id == 0x0001) {
            std::size_t at = i + 4;
            for (std::uint64_t* field : {&e.size, &e.packedSize, &e.header}) {
                if (*field != 0xFFFFFFFF) continue;
                if (at + 8 > i + 4 + n) return false;
                *field = le64(&extra[at]);
                at += 8;
            }
        }
        i += 4 + n;
    }
    return true;
}

// The packed bytes of a zip entry begin after its local header, whose name
// and extra field may differ in length from the directory's.
bool zipDataStart(const std::string& name, const ByteSource& archive, const ArchiveEntry& e,
                  std::uint64_t& start) {
    std::uint8_t local[30];
    if (!archive.read(e.header, 30, local)) return refuse(Truncated, name);
    if (le32(local) != 0x04034b50) return refuse(Broken, name);
    start = e.header + 30 + le16(local + 26) + le16(local + 28);
    if (start > archive.size() || e.packedSize > archive.size() - start)
        return refuse(Truncated, name);
    return true;
}

std::string joined(const std::string& path, std::string entry) {
    // The Windows file functions split names at the backslash only; the
    // path stays as the user gave it.
    if (!platformIsWindows()) return path + "/" + entry;
    std::replace(entry.begin(), entry.end(), '/', '\\');
    return path + "\\" + entry;
}

bool endsWith(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           sameIgnoringCase(std::string_view(text).substr(text.size() - end.size()), end);
}

} // namespace

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc) {
    std::uint32_t c = ~crc;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t a = c ^ le32(p), b = le32(p + 4);
        c = Crc[7][a & 0xFF] ^ Crc[6][(a >> 8) & 0xFF] ^ Crc[5][(a >> 16) & 0xFF] ^
            Crc[4][a >> 24] ^ Crc[3][b & 0xFF] ^ Crc[2][(b >> 8) & 0xFF] ^
            Crc[1][(b >> 16) & 0xFF] ^ Crc[0][b >> 24];
    }
    for (; n > 0; ++p, --n)
        c = Crc[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return ~c;
}

bool looksLikeZip(std::span<const std::uint8_t> head) {
    return head.size() >= 4 && head[0] == 'P' && head[1] == 'K' &&
           ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
}

bool looksLikeGzip(std::span<const std::uint8_t> head) {
    return head.size() >= 2 && head[0] == 0x1F && head[1] == 0x8B;
}

bool listZip(const std::string& name, const ByteSource& archive,
             std::vector<ArchiveEntry>& entries) {
    entries.clear();
    std::vector<ArchiveEntry> found;
    Directory dir;
    if (!findDirectory(name, archive, dir)) return false;
    std::vector<std::uint8_t> buffer;
    const std::span<const std::uint8_t> cd =
        archive.view(dir.offset, static_cast<std::size_t>(dir.size), buffer);
    if (cd.size() != dir.size) return refuse(Truncated, name);
    std::size_t at = 0;
    for (std::uint64_t k = 0; k < dir.entries; ++k) {
        if (at + 46 > cd.size() || le32(&cd[at]) != 0x02014b50) return refuse(Broken, name);
        const std::uint8_t* p = &cd[at];
        const std::size_t nameLength = le16(p + 28), extraLength = le16(p + 30),
                          commentLength = le16(p + 32);
        if (at + 46 + nameLength + extraLength + commentLength > cd.size())
            return refuse(Broken, name);
        ArchiveEntry e;
        const std::uint16_t flags = le16(p + 8);
        e.encrypted = (flags & 1) != 0;
        e.method = le16(p + 10);
        e.crc = le32(p + 16);
        e.packedSize = le32(p + 20);
        e.size = le32(p + 24);
        e.header = le32(p + 42);
        const std::span<const std::uint8_t> rawName = cd.subspan(at + 46, nameLength);
        if (flags & (1u << 11))
            e.name.assign(rawName.begin(), rawName.end());
        else
            e.name = cp437ToUtf8(rawName);
        // Some Windows tools write backslashes between folders; a control
        // character (a NUL would end the name in a message) is no name's.
        std::replace(e.name.begin(), e.name.end(), '\\', '/');
        for (char& c : e.name)
            if (static_cast<unsigned char>(c) < 0x20) c = '_';
        if (!readZip64Extra(cd.subspan(at + 46 + nameLength, extraLength), e))
            return refuse(Broken, name);
        at += 46 + nameLength + extraLength + commentLength;
        if (!e.name.empty() && e.name.back() != '/') found.push_back(std::move(e));
    }
    entries = std::move(found);
    return true;
}

bool readGzipHeader(const std::string& name, const ByteSource& archive, ArchiveEntry& entry) {
    entry = ArchiveEntry{};
    entry.gzip = true;
    entry.method = 8;
    const std::uint64_t total = archive.size();
    std::uint8_t h[10], trailer[8];
    if (total < 18 || !archive.read(0, 10, h) || !archive.read(total - 8, 8, trailer))
        return refuse(Truncated, name);
    if (h[0] != 0x1F || h[1] != 0x8B || h[2] != 8 || (h[3] & 0xE0) != 0)
        return refuse(Broken, name);
    std::uint64_t at = 10;
    if (h[3] & 4) { // FEXTRA
        std::uint8_t n[2];
        if (!archive.read(at, 2, n)) return refuse(Truncated, name);
        at += 2 + le16(n);
    }
    for (const int flag : {8, 16}) { // FNAME, FCOMMENT: zero-terminated
        if (!(h[3] & flag)) continue;
        std::uint8_t c = 1;
        while (c != 0)
            if (!archive.read(at++, 1, &c)) return refuse(Truncated, name);
    }
    if (h[3] & 2) at += 2; // FHCRC
    if (at > total - 8) return refuse(Truncated, name);
    entry.header = at;
    entry.packedSize = total - 8 - at;
    entry.crc = le32(trailer);
    entry.size = le32(trailer + 4);
    const std::string file = splitPath(name).name;
    entry.name = file.substr(0, file.size() - (endsWith(file, ".gz") ? 3 : 0));
    return true;
}

bool unpackEntry(const std::string& shownName, const ByteSource& archive, const ArchiveEntry& entry,
                 std::uint64_t maxBytes, std::vector<std::uint8_t>& out) {
    out.clear();
    const char* shown = shownName.c_str();
    if (entry.encrypted) return refuse(Encrypted, shownName);
    if (entry.method != 0 && entry.method != 8) {
        report("%s: Kompression %s wird nicht unterstuetzt!\n", shown,
               methodName(entry.method).c_str());
        return false;
    }
    std::uint64_t start = entry.header;
    if (!entry.gzip && !zipDataStart(shownName, archive, entry, start)) return false;
    // A gzip member declares its size modulo 2^32; below MaxUnpackedBytes it
    // is the size, and a member that is 4 GiB larger overfills the buffer.
    const std::uint64_t most = entry.method == 0 ? entry.packedSize
                               : entry.packedSize > UINT32_MAX
                                   ? UINT64_MAX
                                   : entry.packedSize * MaxDeflateRatio + 1024;
    if (entry.size > most) {
        report(Bomb, shown, ull(entry.size), ull(entry.packedSize));
        return false;
    }
    if (entry.size > maxBytes) return refuse(FileTooLarge, shownName);
    if (entry.method == 0 && entry.size != entry.packedSize) return refuse(Broken, shownName);
    if (entry.packedSize > MaxUnpackedBytes - 8) return refuse(FileTooLarge, shownName);
    if (entry.method == 0) {
        out.resize(static_cast<std::size_t>(entry.size));
        if (!archive.read(start, out.size(), out.data())) {
            out.clear();
            return refuse(Truncated, shownName);
        }
    } else {
        // The inflater gives up on a stream that ends within its last 16
        // bits unless more bytes follow: eight zeros do.
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(entry.packedSize) + 8, 0);
        if (!archive.read(start, packed.size() - 8, packed.data()))
            return refuse(Truncated, shownName);
        // One byte more than declared: a stream that goes on past its size
        // fills it and is caught, without the inflater growing the buffer.
        out.resize(static_cast<std::size_t>(entry.size) + 1);
        const int got = stbi_zlib_decode_noheader_buffer(
            reinterpret_cast<char*>(out.data()), static_cast<int>(out.size()),
            reinterpret_cast<const char*>(packed.data()), static_cast<int>(packed.size()));
        const bool longer =
            got < 0 && std::string_view(stbi_failure_reason()) == "output buffer limit";
        if (got < 0 || static_cast<std::uint64_t>(got) != entry.size) {
            out.clear();
            if (longer) {
                report(Longer, shown, ull(entry.size));
                return false;
            }
            return refuse(Broken, shownName);
        }
        out.pop_back();
    }
    if (crc32(out) != entry.crc) {
        out.clear();
        return refuse(WrongCrc, shownName);
    }
    return true;
}

EntryKind kindOfName(const std::string& name) {
    const std::string ext = lowerExtension(std::string_view(name)); // with its dot
    for (const char* e : {".tif", ".tiff", ".asc", ".xyz", ".txt", ".csv", ".hgt"})
        if (ext == e) return EntryKind::Heights;
    for (const char* e : {".png", ".jpg", ".jpeg", ".bmp"})
        if (ext == e) return EntryKind::Picture;
    if (ext == ".zip" || ext == ".gz") return EntryKind::Archive;
    return EntryKind::Other;
}

// A TIFF in an archive is a picture or heights by its content, as a plain
// one is (roleOf): an orthophoto zip holds ".tif" files. The entry is
// unpacked once more to tell.
namespace {
bool isPictureTiff(const InputFile& in) {
    const std::string ext = lowerExtension(std::string_view(in.entry.name));
    if (ext != ".tif" && ext != ".tiff") return false;
    OpenInput open;
    QuietMessages quiet; // a broken entry is reported when it is read
    return openInput(in, open) && roleOf(in.name, open.source()) == InputRole::Picture;
}

// Downloads often hold a licence or a read-me as ".txt" beside the points:
// a text entry that does not start like points is no input. (A plain ".txt"
// the user names is read, and refused with its reason.)
bool isOtherText(const InputFile& in) {
    if (lowerExtension(std::string_view(in.entry.name)) != ".txt") return false;
    OpenInput open;
    QuietMessages quiet;
    if (!openInput(in, open)) return false; // reported when it is read
    char head[4096];
    return !looksLikePoints(std::string_view(head, open.source().readSome(0, sizeof head, head)));
}
} // namespace

bool expandInputs(const std::vector<std::string>& paths, bool asPictures,
                  std::vector<InputFile>& heights, std::vector<InputFile>& pictures) {
    for (const std::string& path : paths) {
        const std::string ext = lowerExtension(std::string_view(path));
        if (ext != ".zip" && ext != ".gz") {
            (asPictures ? pictures : heights).push_back({path, path, false, {}, {}});
            continue;
        }
        FileSource file;
        if (!openRegularFile(path, file)) return false;
        if (ext == ".gz") {
            InputFile in{path, path.substr(0, path.size() - 3), true, {}, {}};
            if (!readGzipHeader(path, file, in.entry)) return false;
            if (kindOfName(in.entry.name) == EntryKind::Archive) return refuse(Nested, path);
            (asPictures ? pictures : heights).push_back(std::move(in));
            continue;
        }
        auto entries = std::make_shared<std::vector<ArchiveEntry>>();
        if (!listZip(path, file, *entries)) return false;
        bool any = false;
        for (const ArchiveEntry& e : *entries) {
            // What macOS adds to the zips it makes ("__MACOSX/._foto.png")
            // holds file attributes, not pictures.
            const std::string leaf = e.name.substr(e.name.rfind('/') + 1);
            if (e.name.rfind("__MACOSX/", 0) == 0 || leaf.rfind("._", 0) == 0) continue;
            const EntryKind role = kindOfName(e.name);
            const std::string shown = joined(path, e.name);
            if (role == EntryKind::Archive) return refuse(Nested, shown);
            if (role == EntryKind::Other) continue;
            if (e.encrypted) return refuse(Encrypted, shown);
            InputFile in{path, shown, true, e, entries};
            if (role == EntryKind::Heights && isOtherText(in)) continue;
            any = true;
            const bool picture = asPictures || role == EntryKind::Picture || isPictureTiff(in);
            (picture ? pictures : heights).push_back(std::move(in));
        }
        if (!any) return refuse(NoInput, path);
    }
    return true;
}

bool openInput(const InputFile& input, OpenInput& open) {
    open.input_ = &input;
    open.memory_.reset();
    open.bytes_.clear();
    if (!openRegularFile(input.path, open.file_)) return false;
    if (!input.packed) return true;
    // A ".gz" is named by its file, a zip's entry by archive and entry.
    const std::string& shown = input.entry.gzip ? input.path : input.name;
    const bool ok = unpackEntry(shown, open.file_, input.entry, MaxUnpackedBytes, open.bytes_);
    if (!ok) return false;
    open.memory_ = std::make_unique<MemorySource>(open.bytes_.data(), open.bytes_.size());
    return true;
}

bool OpenInput::neighbour(const std::string& entryName, std::vector<std::uint8_t>& bytes) const {
    if (!input_ || !input_->neighbours) return false;
    for (const ArchiveEntry& e : *input_->neighbours)
        if (e.name == entryName) {
            // Small files only (world files, ".prj"); what is wrong with them
            // is not shown: they are as if not there.
            QuietMessages quiet;
            return e.size <= 65536 && unpackEntry(e.name, file_, e, 65536, bytes);
        }
    return false;
}

bool readElevationInput(const InputFile& input, ElevationGrid& out, const ReadOptions& options) {
    if (!input.packed) return readElevationFile(input.path, out, options);
    OpenInput open;
    return openInput(input, open) && readElevationFile(input.name, open.source(), out, options);
}
