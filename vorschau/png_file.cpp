#include "vorschau/png_file.h"

#include "common/bytes.h"
#include "common/numeric.h"
#include "platform/platform.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// A stored block holds at most 65535 bytes: its length is a u16.
constexpr std::size_t kMaxStoredBlock = 65535;
constexpr std::uint32_t kAdlerModulus = 65521;

const std::array<std::uint32_t, 256>& crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

// One chunk: length, tag, data, CRC of tag and data.
void writeChunk(ByteWriter& w, const char (&tag)[5], const std::uint8_t* data, std::size_t size) {
    w.u32be(static_cast<std::uint32_t>(size));
    const std::size_t tagAt = w.size();
    w.bytes(tag, 4);
    w.bytes(data, size);
    w.u32be(crc32(w.buffer().data() + tagAt, 4 + size));
}

} // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    const auto& table = crcTable();
    std::uint32_t c = crc ^ 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size, std::uint32_t adler) {
    std::uint32_t a = adler & 0xFFFF;
    std::uint32_t b = adler >> 16;
    // 5552 bytes is the longest run whose sums cannot overflow 32 bits
    // before they are reduced.
    while (size > 0) {
        const std::size_t run = std::min<std::size_t>(size, 5552);
        for (std::size_t i = 0; i < run; ++i) {
            a += data[i];
            b += a;
        }
        a %= kAdlerModulus;
        b %= kAdlerModulus;
        data += run;
        size -= run;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> encodePng(const RgbImage& image) {
    if (image.width < 1 || image.width > MaxPngSide || image.height < 1 ||
        image.height > MaxPngSide)
        return {};
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    std::size_t pixelBytes = 0;
    if (!checkedMul(width * 3, height, pixelBytes) || image.rgb.size() != pixelBytes) return {};

    // The raw stream: a filter byte before every row.
    const std::size_t rowBytes = width * 3;
    std::vector<std::uint8_t> raw;
    raw.reserve(pixelBytes + height);
    for (std::size_t y = 0; y < height; ++y) {
        raw.push_back(0);
        const std::uint8_t* row = image.rgb.data() + y * rowBytes;
        raw.insert(raw.end(), row, row + rowBytes);
    }

    ByteWriter z;
    const std::size_t blocks = (raw.size() + kMaxStoredBlock - 1) / kMaxStoredBlock;
    z.reserve(2 + raw.size() + 5 * blocks + 4);
    z.u8(0x78);
    z.u8(0x01);
    for (std::size_t at = 0; at < raw.size(); at += kMaxStoredBlock) {
        const std::size_t n = std::min(kMaxStoredBlock, raw.size() - at);
        const bool last = at + n == raw.size();
        z.u8(last ? 1 : 0);
        z.u16(static_cast<std::uint16_t>(n));
        z.u16(static_cast<std::uint16_t>(~n & 0xFFFF));
        z.bytes(raw.data() + at, n);
    }
    z.u32be(adler32(raw.data(), raw.size()));

    ByteWriter header;
    header.u32be(static_cast<std::uint32_t>(image.width));
    header.u32be(static_cast<std::uint32_t>(image.height));
    header.u8(8); // bits per sample
    header.u8(2); // RGB
    header.u8(0); // deflate
    header.u8(0); // adaptive filtering, each row names its filter
    header.u8(0); // not interlaced

    ByteWriter png;
    png.reserve(8 + 25 + 12 + z.size() + 12);
    png.bytes(kSignature, sizeof kSignature);
    writeChunk(png, "IHDR", header.buffer().data(), header.size());
    writeChunk(png, "IDAT", z.buffer().data(), z.size());
    writeChunk(png, "IEND", nullptr, 0);
    return std::move(png.buffer());
}

bool writePng(std::string_view path, const RgbImage& image) {
    std::vector<std::uint8_t> bytes = encodePng(image);
    if (bytes.empty()) return false;
    return writeFileSafely(path, bytes);
}
