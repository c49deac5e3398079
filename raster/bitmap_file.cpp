#include "raster/bitmap_file.h"

#include "common/byte_source.h"
#include "common/bytes.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "common/numeric.h"

#include <climits>
#include <string>

namespace {

constexpr const char* WrongFormat = "Falsches Bitmapformat: %s!\n";
constexpr const char* ReadError = "Fehler beim Lesen von %s!\n";

constexpr std::size_t FileHeaderBytes = 14;
constexpr std::size_t InfoHeaderBytes = 40;
constexpr std::size_t CoreHeaderBytes = 12;

// Three bytes per pixel, each row padded to a whole number of 32-bit words.
// Computed in 64 bits: 3 × width of a hostile header does not fit in 32.
std::uint64_t rowBytes(std::int32_t width) {
    return (3 * static_cast<std::uint64_t>(width) + 3) / 4 * 4;
}

// The parse proper; the caller releases the record when it fails. The
// headers are read at their offsets, the rows in one read after them.
int parseBitmap(BitmapFile& bmp, const std::string& shown, const ByteSource& source) {
    std::uint8_t head[FileHeaderBytes];
    std::size_t got = source.readSome(0, sizeof head, head);
    ByteReader fh(head, got);
    std::string_view magic = fh.view(2);
    bmp.fileSize = fh.u32();
    bmp.reserved1 = fh.u16();
    bmp.reserved2 = fh.u16();
    bmp.dataOffset = fh.u32();
    if (magic.size() == 2) {
        bmp.magic[0] = magic[0];
        bmp.magic[1] = magic[1];
    }
    // A short file that does not even start like a bitmap is of another
    // format; one that does has merely been cut.
    if (fh.failed())
        return report(magic == "BM" || got < 2 ? ReadError : WrongFormat, shown.c_str());

    // The data offset selects the header form: the rows follow the header
    // directly, so 54 means the 40-byte info header and 26 the 12-byte core
    // header. Any other offset means a colour table or a later header
    // version, neither of which a 24-bit height or colour bitmap needs.
    std::uint8_t info[InfoHeaderBytes];
    if (bmp.dataOffset == FileHeaderBytes + InfoHeaderBytes) {
        got = source.readSome(FileHeaderBytes, InfoHeaderBytes, info);
        ByteReader ih(info, got);
        bmp.headerSize = ih.u32();
        bmp.width = ih.i32();
        bmp.height = ih.i32();
        bmp.planes = ih.u16();
        bmp.bitCount = ih.u16();
        bmp.compression = ih.u32();
        bmp.imageSize = ih.u32();
        bmp.xPixelsPerMetre = ih.i32();
        bmp.yPixelsPerMetre = ih.i32();
        bmp.coloursUsed = ih.u32();
        bmp.coloursImportant = ih.u32();
        if (ih.failed()) return report(ReadError, shown.c_str());
    } else if (bmp.dataOffset == FileHeaderBytes + CoreHeaderBytes) {
        got = source.readSome(FileHeaderBytes, CoreHeaderBytes, info);
        ByteReader ch(info, got);
        bmp.headerSize = ch.u32();
        bmp.width = ch.i16();
        bmp.height = ch.i16();
        bmp.planes = ch.u16();
        bmp.bitCount = ch.u16();
        if (ch.failed()) return report(ReadError, shown.c_str());
    } else {
        return report(WrongFormat, shown.c_str());
    }

    if (!bmp.isValid()) return report(WrongFormat, shown.c_str());
    // A negative height marks rows stored top-down; rows are kept in file
    // order here, so such a file would come out upside down. Refuse it, and
    // an empty picture with it.
    if (bmp.width <= 0 || bmp.height <= 0) return report(WrongFormat, shown.c_str());

    // The file must really hold what the header claims before a single byte
    // is allocated: a 100-byte file may claim 65535 × 65535 pixels.
    const std::uint64_t stride = rowBytes(bmp.width);
    const std::uint64_t rowsAt = bmp.dataOffset;
    const std::uint64_t present = source.size() > rowsAt ? source.size() - rowsAt : 0;
    std::size_t bytes = 0;
    if (!checkedMul(static_cast<std::size_t>(stride), static_cast<std::size_t>(bmp.height),
                    bytes) ||
        bytes > present)
        return report(ReadError, shown.c_str());
    if (stride > INT32_MAX) return report(WrongFormat, shown.c_str());
    bmp.stride = static_cast<std::int32_t>(stride);

    // One read straight into the block that the record keeps.
    if (!bmp.pixels.allocate(bytes) || !source.read(rowsAt, bytes, bmp.pixels.data()))
        return report(ReadError, shown.c_str());
    return 1;
}

} // namespace

int BitmapFile::read(std::string_view path) {
    FileSource file;
    const InputProblem problem = file.open(path);
    if (problem != InputProblem::None) {
        release();
        return reportInputProblem(problem, path);
    }
    return read(path, file);
}

int BitmapFile::read(std::string_view name, const ByteSource& source) {
    *this = BitmapFile();
    int ok = parseBitmap(*this, std::string(name), source);
    if (!ok) release();
    return ok;
}

int BitmapFile::isValid() const {
    return magic[0] == 'B' && magic[1] == 'M' && planes == 1 && bitCount == 24 && compression == 0;
}

std::int32_t BitmapFile::pixelAt(std::int32_t x, std::int32_t y) const {
    if (width <= 0 || height <= 0 || pixels.empty()) return 0;
    if (x < 0) x = 0;
    if (x >= width) x = width - 1;
    if (y < 0) y = 0;
    if (y >= height) y = height - 1;
    const std::uint8_t* p = pixels.data() +
                            static_cast<std::size_t>(y) * static_cast<std::size_t>(stride) +
                            3 * static_cast<std::size_t>(x);
    return static_cast<std::int32_t>((p[0] << 16) | (p[1] << 8) | p[2]);
}

void BitmapFile::release() {
    pixels.reset();
    *this = BitmapFile();
    magic[0] = magic[1] = 0;
    dataOffset = 0;
    headerSize = 0;
    planes = 0;
    bitCount = 0;
}
