#include "tests/vorschau/png_reader.h"

#include "common/bytes.h"
#include "vorschau/png_file.h"

namespace {

DecodedPng failed(DecodedPng d, const std::string& why) {
    d.error = why;
    d.rgb.clear();
    return d;
}

} // namespace

DecodedPng decodePng(const std::vector<std::uint8_t>& file) {
    DecodedPng d;
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    ByteReader r(file.data(), file.size());
    std::uint8_t head[8] = {};
    if (!r.bytes(head, 8) || !std::equal(head, head + 8, signature)) return failed(d, "signature");

    std::vector<std::uint8_t> zlib;
    bool seenEnd = false;
    while (!r.atEnd()) {
        if (seenEnd) return failed(d, "bytes after IEND");
        const std::uint32_t length = r.u32be();
        if (r.failed() || length > 0x7FFFFFFFu || !r.has(4 + std::size_t{length} + 4))
            return failed(d, "chunk cut short");
        const std::size_t tagAt = r.position();
        const std::string tag(r.view(4));
        const std::string_view data = r.view(length);
        const std::uint32_t crc = r.u32be();
        if (crc != crc32(file.data() + tagAt, 4 + std::size_t{length}))
            return failed(d, "CRC of " + tag);
        d.tags.push_back(tag);
        if (d.tags.size() == 1 && tag != "IHDR") return failed(d, "IHDR not first");
        if (tag == "IHDR") {
            if (d.tags.size() != 1 || length != 13) return failed(d, "IHDR");
            ByteReader h(data.data(), data.size());
            const std::uint32_t w = h.u32be(), ht = h.u32be();
            const std::uint8_t depth = h.u8(), colour = h.u8(), compression = h.u8(),
                               filter = h.u8(), interlace = h.u8();
            if (w == 0 || ht == 0 || w > 0x7FFFFFFFu || ht > 0x7FFFFFFFu || depth != 8 ||
                colour != 2 || compression != 0 || filter != 0 || interlace != 0)
                return failed(d, "IHDR values");
            d.width = static_cast<std::int32_t>(w);
            d.height = static_cast<std::int32_t>(ht);
        } else if (tag == "IDAT") {
            if (d.tags.size() >= 3 && d.tags[d.tags.size() - 2] != "IDAT")
                return failed(d, "IDAT chunks apart");
            zlib.insert(zlib.end(), data.begin(), data.end());
        } else if (tag == "IEND") {
            if (length != 0) return failed(d, "IEND with data");
            seenEnd = true;
        } else {
            return failed(d, "unexpected chunk " + tag);
        }
    }
    if (!seenEnd) return failed(d, "no IEND");
    if (zlib.empty()) return failed(d, "no IDAT");

    ByteReader z(zlib.data(), zlib.size());
    const std::uint8_t cmf = z.u8(), flg = z.u8();
    if ((cmf & 0x0F) != 8 || (cmf >> 4) > 7 || (cmf * 256 + flg) % 31 != 0 || (flg & 0x20))
        return failed(d, "zlib header");
    std::vector<std::uint8_t> raw;
    for (bool last = false; !last;) {
        const std::uint8_t header = z.u8();
        if (z.failed()) return failed(d, "deflate cut short");
        last = header & 1;
        if (((header >> 1) & 3) != 0) return failed(d, "not a stored block");
        const std::uint16_t len = z.u16(), nlen = z.u16();
        if (z.failed() || static_cast<std::uint16_t>(~nlen) != len)
            return failed(d, "stored block length");
        const std::string_view bytes = z.view(len);
        if (z.failed()) return failed(d, "stored block cut short");
        raw.insert(raw.end(), bytes.begin(), bytes.end());
    }
    const std::uint32_t adler = z.u32be();
    if (z.failed() || !z.atEnd()) return failed(d, "zlib end");
    if (adler != adler32(raw.data(), raw.size())) return failed(d, "Adler-32");

    const std::size_t rowBytes = static_cast<std::size_t>(d.width) * 3;
    if (raw.size() != (rowBytes + 1) * static_cast<std::size_t>(d.height))
        return failed(d, "pixel data size");
    d.rgb.reserve(rowBytes * static_cast<std::size_t>(d.height));
    for (std::size_t y = 0; y < static_cast<std::size_t>(d.height); ++y) {
        const std::uint8_t* row = raw.data() + y * (rowBytes + 1);
        if (row[0] != 0) return failed(d, "row filter");
        d.rgb.insert(d.rgb.end(), row + 1, row + 1 + rowBytes);
    }
    return d;
}
