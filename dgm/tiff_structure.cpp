#include "dgm/tiff_structure.h"

#include "common/bytes.h"
#include "common/message.h"
#include "common/numeric.h"
#include "dgm/reader_support.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stb/stb_image.h>

namespace {

constexpr const char* BigTiff = "%s: BigTIFF wird nicht unterstuetzt!\n";
constexpr const char* JpegCompression = "%s: JPEG-Kompression wird nicht unterstuetzt!\n";
constexpr const char* OtherCompression = "%s: Kompression %u wird nicht unterstuetzt!\n";
constexpr const char* OtherPredictor = "%s: Praediktor %u wird nicht unterstuetzt!\n";
constexpr const char* Rotated = "%s: gedrehtes oder gespiegeltes Raster wird nicht unterstuetzt!\n";

// The most bytes one byte of compressed data can become: PackBits repeats
// a byte at most 128 times for 2 bytes, Deflate reaches 1032 : 1, an LZW
// code of 9 to 12 bits stands for at most 4094 bytes.
std::uint64_t expansionLimit(std::uint16_t compression) {
    switch (compression) {
    case 1:
        return 1;
    case 32773:
        return 64;
    case 5:
        return 4096;
    default:
        return 1032;
    }
}

enum Tag : std::uint16_t {
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    Photometric = 262,
    StripOffsets = 273,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    PlanarConfiguration = 284,
    Predictor = 317,
    ColorMap = 320,
    TileWidth = 322,
    TileLength = 323,
    TileOffsets = 324,
    TileByteCounts = 325,
    SampleFormat = 339,
    ModelPixelScale = 33550,
    ModelTiepoint = 33922,
    ModelTransformation = 34264,
    GeoKeyDirectory = 34735,
    GdalNoData = 42113,
};

// Bytes of one value of a field type; 0 for a type we do not know.
std::size_t typeSize(std::uint16_t type) {
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 0;
    }
}

// Reads the numbers of a TIFF file in its byte order.
class TiffReader {
  public:
    TiffReader(std::span<const std::uint8_t> file, bool bigEndian)
        : r_(file.data(), file.size()), big_(bigEndian) {}
    ByteReader& raw() { return r_; }
    std::uint16_t u16() { return big_ ? r_.u16be() : r_.u16(); }
    std::uint32_t u32() { return big_ ? r_.u32be() : r_.u32(); }
    float f32() { return big_ ? r_.f32be() : r_.f32(); }
    double f64() { return big_ ? r_.f64be() : r_.f64(); }

  private:
    ByteReader r_;
    bool big_;
};

struct Entry {
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0;
    std::size_t valuePos = 0; // where the values are in the file
};

// The values of an entry as doubles (every numeric type). False when they
// are not in the file or the type is not numeric.
bool values(TiffReader& in, const Entry& e, std::vector<double>& out) {
    out.clear();
    if (e.type == 2 || typeSize(e.type) == 0) return false;
    ByteReader& r = in.raw();
    // The values must be in the file before they get memory.
    if (!r.seek(e.valuePos) || !r.has(std::size_t{e.count} * typeSize(e.type))) return false;
    out.reserve(e.count);
    for (std::uint32_t i = 0; i < e.count; ++i) {
        double v = 0;
        switch (e.type) {
        case 1:
        case 7:
            v = r.u8();
            break;
        case 6:
            v = static_cast<std::int8_t>(r.u8());
            break;
        case 3:
            v = in.u16();
            break;
        case 8:
            v = static_cast<std::int16_t>(in.u16());
            break;
        case 4:
            v = in.u32();
            break;
        case 9:
            v = static_cast<std::int32_t>(in.u32());
            break;
        case 5:
        case 10: {
            const std::uint32_t num = in.u32(), den = in.u32();
            if (den == 0)
                v = NAN; // no number; never a division by zero
            else if (e.type == 5)
                v = static_cast<double>(num) / den;
            else
                v = static_cast<double>(static_cast<std::int32_t>(num)) /
                    static_cast<std::int32_t>(den);
            break;
        }
        case 11:
            v = in.f32();
            break;
        case 12:
            v = in.f64();
            break;
        }
        out.push_back(v);
    }
    return !r.failed();
}

// Whole numbers that fit the field: offsets, counts, sizes.
bool integers(TiffReader& in, const Entry& e, std::vector<std::uint64_t>& out) {
    if (e.type != 1 && e.type != 3 && e.type != 4) return false;
    std::vector<double> v;
    if (!values(in, e, v)) return false;
    out.assign(v.begin(), v.end()); // exact: at most 32 bits
    return true;
}

bool single(TiffReader& in, const Entry& e, std::uint32_t& out) {
    std::vector<std::uint64_t> v;
    if (!integers(in, e, v) || v.empty()) return false;
    out = static_cast<std::uint32_t>(v[0]);
    return true;
}

bool swapNeeded(bool bigEndian) {
    return bigEndian != (std::endian::native == std::endian::big);
}

} // namespace

bool looksLikeTiff(std::string_view head) {
    if (head.size() < 4) return false;
    return head.substr(0, 4) == std::string_view("II*\0", 4) ||
           head.substr(0, 4) == std::string_view("MM\0*", 4) ||
           head.substr(0, 4) == std::string_view("II+\0", 4) ||
           head.substr(0, 4) == std::string_view("MM\0+", 4);
}

bool parseTiff(const std::string& path, std::span<const std::uint8_t> file, TiffImage& image) {
    image = TiffImage();
    const auto fail = [&](const char* format) {
        report(format, path.c_str());
        return false;
    };
    const std::string_view head(reinterpret_cast<const char*>(file.data()),
                                std::min<std::size_t>(file.size(), 4));
    if (!looksLikeTiff(head)) return fail(FormatErrorIn);
    const bool big = file[0] == 'M';
    if (file[big ? 3 : 2] == '+') return fail(BigTiff);
    TiffReader in(file, big);
    in.raw().skip(4);
    const std::uint32_t ifd = in.u32();
    ByteReader& r = in.raw();
    if (!r.seek(ifd)) return fail(FormatErrorIn);
    const std::uint16_t n = in.u16();
    std::vector<Entry> entries;
    for (std::uint16_t i = 0; i < n && !r.failed(); ++i) {
        Entry e;
        e.tag = in.u16();
        e.type = in.u16();
        e.count = in.u32();
        const std::size_t bytes = typeSize(e.type) * e.count; // < 2^35
        e.valuePos = bytes <= 4 ? r.position() : in.u32();
        if (bytes <= 4) r.skip(4);
        // Values beyond the end make the entry unreadable, checked on use.
        entries.push_back(e);
    }
    if (r.failed()) return fail(FormatErrorIn);

    TiffImage t;
    t.bigEndian = big;
    std::uint32_t rowsPerStrip = UINT32_MAX, tileWidth = 0, tileLength = 0;
    std::vector<std::uint64_t> stripOffsets, stripCounts, tileOffsets, tileCounts;
    bool ok = true;
    for (const Entry& e : entries) {
        std::uint32_t v = 0;
        std::vector<std::uint64_t> list;
        switch (e.tag) {
        case ImageWidth:
            ok = single(in, e, t.width);
            break;
        case ImageLength:
            ok = single(in, e, t.height);
            break;
        case BitsPerSample:
            // One value per band, all the same.
            ok = integers(in, e, list) && !list.empty();
            for (std::uint64_t b : list)
                ok = ok && b == list[0];
            if (ok)
                t.bitsPerSample = static_cast<std::uint16_t>(std::min<std::uint64_t>(list[0], 999));
            break;
        case SampleFormat:
            ok = integers(in, e, list) && !list.empty();
            for (std::uint64_t b : list)
                ok = ok && b == list[0];
            if (ok)
                t.sampleFormat = static_cast<std::uint16_t>(std::min<std::uint64_t>(list[0], 999));
            break;
        case Compression:
        case Photometric:
        case SamplesPerPixel:
        case PlanarConfiguration:
        case Predictor:
            ok = single(in, e, v) && v <= 65535;
            if (e.tag == Compression) t.compression = static_cast<std::uint16_t>(v);
            if (e.tag == Photometric) t.photometric = static_cast<std::uint16_t>(v);
            if (e.tag == SamplesPerPixel) t.samplesPerPixel = static_cast<std::uint16_t>(v);
            if (e.tag == PlanarConfiguration) t.planar = static_cast<std::uint16_t>(v);
            if (e.tag == Predictor) t.predictor = static_cast<std::uint16_t>(v);
            break;
        case RowsPerStrip:
            ok = single(in, e, rowsPerStrip);
            break;
        case TileWidth:
            ok = single(in, e, tileWidth);
            break;
        case TileLength:
            ok = single(in, e, tileLength);
            break;
        case StripOffsets:
            ok = integers(in, e, stripOffsets);
            break;
        case StripByteCounts:
            ok = integers(in, e, stripCounts);
            break;
        case TileOffsets:
            ok = integers(in, e, tileOffsets);
            t.tiled = true;
            break;
        case TileByteCounts:
            ok = integers(in, e, tileCounts);
            break;
        case ColorMap:
            ok = integers(in, e, list);
            t.colourMap.assign(list.begin(), list.end());
            break;
        case ModelPixelScale:
            ok = values(in, e, t.pixelScale) && t.pixelScale.size() >= 2;
            break;
        case ModelTiepoint:
            ok = values(in, e, t.tiepoints);
            break;
        case ModelTransformation:
            ok = values(in, e, t.transformation) && t.transformation.size() == 16;
            break;
        case GeoKeyDirectory:
            ok = e.type == 3 && integers(in, e, list);
            t.geoKeys.assign(list.begin(), list.end());
            break;
        case GdalNoData: {
            // Text such as "-9999" or "nan", NUL-terminated.
            ByteReader& raw = in.raw();
            std::string_view text = raw.seek(e.valuePos) ? raw.view(e.count) : std::string_view();
            ok = e.type == 2 && !raw.failed();
            while (!text.empty() && (text.back() == '\0' || text.back() == ' '))
                text.remove_suffix(1);
            double nd = 0;
            if (ok &&
                scanNumber(text.data(), text.data() + text.size(), nd) ==
                    text.data() + text.size() &&
                !text.empty()) {
                t.hasNoData = true;
                t.noData = nd;
            }
            // GDAL writes a NaN no-data value as "nan" (or "-nan"): the
            // band's NaN samples are then declared holes.
            if (ok && (text == "nan" || text == "-nan" || text == "NaN" || text == "-NaN")) {
                t.hasNoData = true;
                t.noData = NAN;
            }
            break;
        }
        default:
            break;
        }
        if (!ok) return fail(FormatErrorIn);
    }

    if (t.compression == 6 || t.compression == 7) return fail(JpegCompression);
    if (t.compression != 1 && t.compression != 5 && t.compression != 8 && t.compression != 32946 &&
        t.compression != 32773) {
        report(OtherCompression, path.c_str(), unsigned{t.compression});
        return false;
    }
    if (t.predictor != 1 && t.predictor != 2 && t.predictor != 3) {
        report(OtherPredictor, path.c_str(), unsigned{t.predictor});
        return false;
    }
    if (t.width == 0 || t.height == 0 || t.samplesPerPixel == 0) return fail(FormatErrorIn);
    if (t.tiled) {
        if (tileWidth == 0 || tileLength == 0) return fail(FormatErrorIn);
        t.blockWidth = tileWidth;
        t.blockHeight = tileLength;
        t.offsets = std::move(tileOffsets);
        t.byteCounts = std::move(tileCounts);
    } else {
        t.blockWidth = t.width;
        t.blockHeight = std::min(rowsPerStrip, t.height);
        if (t.blockHeight == 0) return fail(FormatErrorIn);
        t.offsets = std::move(stripOffsets);
        t.byteCounts = std::move(stripCounts);
    }
    const std::uint64_t across = (std::uint64_t{t.width} + t.blockWidth - 1) / t.blockWidth;
    const std::uint64_t down = (std::uint64_t{t.height} + t.blockHeight - 1) / t.blockHeight;
    const std::uint64_t planes = t.planar == 2 ? t.samplesPerPixel : 1;
    if (t.offsets.size() != across * down * planes || t.byteCounts.size() != t.offsets.size())
        return fail(FormatErrorIn);
    for (std::size_t i = 0; i < t.offsets.size(); ++i)
        if (t.offsets[i] > file.size() || t.byteCounts[i] > file.size() - t.offsets[i])
            return fail(FormatErrorIn);
    image = std::move(t);
    return true;
}

namespace {

bool unpackBits(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t size) {
    std::size_t i = 0, o = 0;
    while (o < size && i < n) {
        const auto c = static_cast<std::int8_t>(in[i++]);
        if (c >= 0) {
            const std::size_t len = static_cast<std::size_t>(c) + 1;
            if (len > n - i || len > size - o) return false;
            std::memcpy(out + o, in + i, len);
            i += len;
            o += len;
        } else if (c != -128) {
            const std::size_t len = static_cast<std::size_t>(1 - c);
            if (i == n || len > size - o) return false;
            std::memset(out + o, in[i++], len);
            o += len;
        }
    }
    return o == size;
}

// TIFF's LZW: codes of 9 to 12 bits, most significant bit first; 256 clears
// the table, 257 ends the data; the code width grows one code early (when
// the next free code reaches 511, 1023, 2047).
class LzwDecoder {
  public:
    bool decode(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t size) {
        // The first code of a stream is a clear code, 256: bits 1 0000 0000.
        // The old LSB-first variant starts with 0x00 followed by an odd byte.
        if (n >= 2 && in[0] == 0 && (in[1] & 1)) return false;
        for (unsigned i = 0; i < 256; ++i) {
            first_[i] = suffix_[i] = static_cast<std::uint8_t>(i);
            length_[i] = 1;
        }
        std::uint64_t bits = 0;
        unsigned held = 0, width = 9, next = 258;
        int old = -1;
        std::size_t i = 0, o = 0;
        while (o < size) {
            while (held < width && i < n) {
                bits = (bits << 8) | in[i++];
                held += 8;
            }
            if (held < width) return false; // data ended before the pixels
            const auto code = static_cast<unsigned>((bits >> (held - width)) & ((1u << width) - 1));
            held -= width;
            if (code == 257) break;
            if (code == 256) {
                next = 258;
                width = 9;
                old = -1;
                continue;
            }
            if (old < 0) {
                if (code > 255) return false;
                out[o++] = static_cast<std::uint8_t>(code);
                old = static_cast<int>(code);
                continue;
            }
            if (code > next || (code == next && next == 4096)) return false;
            if (next < 4096) {
                const auto prev = static_cast<unsigned>(old);
                prefix_[next] = static_cast<std::uint16_t>(prev);
                suffix_[next] = first_[code == next ? prev : code];
                first_[next] = first_[prev];
                length_[next] = static_cast<std::uint16_t>(length_[prev] + 1);
                ++next;
                if (next >= (1u << width) - 1 && width < 12) ++width;
            }
            // The string of code, written from its end; what would run past
            // the block is dropped.
            const std::size_t len = length_[code];
            unsigned c = code;
            for (std::size_t k = len; k-- > 0;) {
                if (o + k < size) out[o + k] = suffix_[c];
                c = prefix_[c];
            }
            o = std::min(size, o + len);
            old = static_cast<int>(code);
        }
        return o == size;
    }

  private:
    std::array<std::uint16_t, 4096> prefix_{};
    std::array<std::uint8_t, 4096> suffix_{}, first_{};
    std::array<std::uint16_t, 4096> length_{};
};

bool inflate(const std::uint8_t* in, std::size_t n, std::uint8_t* out, std::size_t size) {
    if (n > INT32_MAX || size > INT32_MAX) return false;
    const int got = stbi_zlib_decode_buffer(reinterpret_cast<char*>(out), static_cast<int>(size),
                                            reinterpret_cast<const char*>(in), static_cast<int>(n));
    return got == static_cast<int>(size);
}

// Turns each sample of bytesPer bytes round.
void swapSamples(std::uint8_t* p, std::size_t bytes, std::size_t bytesPer) {
    for (std::size_t i = 0; i + bytesPer <= bytes; i += bytesPer)
        std::reverse(p + i, p + i + bytesPer);
}

// Horizontal predictor: each sample was stored as the difference to the
// same band of the pixel before it, modulo 2^bits.
template <typename T>
void addAlongRow(std::uint8_t* row, std::size_t samples, std::size_t stride) {
    for (std::size_t i = stride; i < samples; ++i) {
        T a, b;
        std::memcpy(&a, row + (i - stride) * sizeof(T), sizeof(T));
        std::memcpy(&b, row + i * sizeof(T), sizeof(T));
        b = static_cast<T>(a + b);
        std::memcpy(row + i * sizeof(T), &b, sizeof(T));
    }
}

// Floating-point predictor: a row's bytes were reordered into planes (all
// most significant bytes first, then the next ones), and each byte stored
// as the difference to the byte `stride` places before it.
void floatingPointRow(std::uint8_t* row, std::size_t samples, std::size_t bytesPer,
                      std::size_t stride, std::vector<std::uint8_t>& scratch) {
    const std::size_t bytes = samples * bytesPer;
    for (std::size_t i = stride; i < bytes; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + row[i - stride]);
    scratch.assign(row, row + bytes);
    const bool little = std::endian::native == std::endian::little;
    for (std::size_t s = 0; s < samples; ++s)
        for (std::size_t b = 0; b < bytesPer; ++b)
            row[s * bytesPer + (little ? bytesPer - 1 - b : b)] = scratch[b * samples + s];
}

} // namespace

bool decodeTiff(const std::string& path, std::span<const std::uint8_t> file, const TiffImage& t,
                std::vector<std::uint8_t>& pixels) {
    pixels.clear();
    const auto formatError = [&] {
        pixels.clear();
        report(FormatErrorIn, path.c_str());
        return false;
    };
    const unsigned bits = t.bitsPerSample;
    if (bits != 8 && bits != 16 && bits != 32 && bits != 64) return formatError();
    const std::size_t bytesPer = bits / 8;
    const bool planar = t.planar == 2 && t.samplesPerPixel > 1;
    const std::size_t pixelBytes = bytesPer * t.samplesPerPixel;
    // A block's pixels hold every band, or one band when the bands are in
    // planes of their own.
    const std::size_t blockPixelBytes = planar ? bytesPer : pixelBytes;
    std::size_t points = 0, total = 0, rowBytes = 0, blockBytes = 0;
    if (!checkedMul(t.width, t.height, points) || points > MaxGridPoints ||
        !checkedMul(points, pixelBytes, total) || total > MaxBinaryFileBytes ||
        !checkedMul(t.blockWidth, blockPixelBytes, rowBytes) ||
        !checkedMul(rowBytes, t.blockHeight, blockBytes) || blockBytes > MaxBinaryFileBytes) {
        report(FileTooLarge, path.c_str());
        return false;
    }
    // What the blocks can become at most must cover the picture: a header
    // that promises more than its data could ever hold gets no memory.
    std::uint64_t stored = 0;
    for (std::uint64_t c : t.byteCounts)
        stored += c; // each below 2^32
    if (stored < total && stored * expansionLimit(t.compression) < total) return formatError();

    pixels.resize(total);
    std::vector<std::uint8_t> block, scratch;
    LzwDecoder lzw;
    const std::size_t across = (std::size_t{t.width} + t.blockWidth - 1) / t.blockWidth;
    const std::size_t down = (std::size_t{t.height} + t.blockHeight - 1) / t.blockHeight;
    const std::size_t planes = planar ? t.samplesPerPixel : 1;
    const std::size_t rowSamples = t.blockWidth * (planar ? 1 : std::size_t{t.samplesPerPixel});
    const std::size_t stride = planar ? 1 : t.samplesPerPixel;
    for (std::size_t plane = 0; plane < planes; ++plane)
        for (std::size_t by = 0; by < down; ++by)
            for (std::size_t bx = 0; bx < across; ++bx) {
                const std::size_t index = (plane * down + by) * across + bx;
                const std::uint8_t* in = file.data() + t.offsets[index];
                const auto n = static_cast<std::size_t>(t.byteCounts[index]);
                // A strip at the bottom holds only the rows left; a tile
                // is always whole.
                const std::size_t top = by * t.blockHeight;
                const std::size_t rows =
                    t.tiled ? t.blockHeight : std::min<std::size_t>(t.blockHeight, t.height - top);
                const std::size_t size = rows * rowBytes;
                // The same bound for each block: a tile far larger than the
                // picture must come with the data to fill it.
                if (size > n * expansionLimit(t.compression)) return formatError();
                if (block.size() < size) block.resize(size);
                bool ok = false;
                switch (t.compression) {
                case 1:
                    ok = n >= size;
                    if (ok) std::memcpy(block.data(), in, size);
                    break;
                case 32773:
                    ok = unpackBits(in, n, block.data(), size);
                    break;
                case 5:
                    ok = lzw.decode(in, n, block.data(), size);
                    break;
                default:
                    ok = inflate(in, n, block.data(), size);
                    break;
                }
                if (!ok) return formatError();
                for (std::size_t y = 0; y < rows; ++y) {
                    std::uint8_t* row = block.data() + y * rowBytes;
                    if (t.predictor == 3) {
                        floatingPointRow(row, rowSamples, bytesPer, stride, scratch);
                        continue;
                    }
                    if (bytesPer > 1 && swapNeeded(t.bigEndian))
                        swapSamples(row, rowBytes, bytesPer);
                    if (t.predictor == 2) {
                        if (bytesPer == 1) addAlongRow<std::uint8_t>(row, rowSamples, stride);
                        if (bytesPer == 2) addAlongRow<std::uint16_t>(row, rowSamples, stride);
                        if (bytesPer == 4) addAlongRow<std::uint32_t>(row, rowSamples, stride);
                        if (bytesPer == 8) addAlongRow<std::uint64_t>(row, rowSamples, stride);
                    }
                }
                // Into the picture, without the padding of edge tiles.
                const std::size_t left = bx * t.blockWidth;
                const std::size_t columns = std::min<std::size_t>(t.blockWidth, t.width - left);
                for (std::size_t y = 0; y < rows && top + y < t.height; ++y) {
                    const std::uint8_t* src = block.data() + y * rowBytes;
                    std::uint8_t* dst = pixels.data() + ((top + y) * t.width + left) * pixelBytes;
                    if (!planar) {
                        std::memcpy(dst, src, columns * pixelBytes);
                        continue;
                    }
                    for (std::size_t x = 0; x < columns; ++x)
                        std::memcpy(dst + x * pixelBytes + plane * bytesPer, src + x * bytesPer,
                                    bytesPer);
                }
            }
    return true;
}

namespace {

// GeoKeys: a header of four shorts (version, revision, minor revision,
// number of keys), then per key its id, where its value is (0: in the
// fourth short itself), a count and the value.
enum GeoKey : std::uint16_t {
    ModelType = 1024,      // 1 projected, 2 geographic
    RasterType = 1025,     // 1 pixel is an area, 2 pixel is a point
    GeographicType = 2048, // EPSG code of the geographic system
    ProjectedType = 3072,  // EPSG code of the projected system
};

int geoKey(const std::vector<std::uint16_t>& keys, std::uint16_t id) {
    if (keys.size() < 4) return -1;
    for (std::size_t i = 4; i + 4 <= keys.size() && (i - 4) / 4 < keys[3]; i += 4)
        if (keys[i] == id && keys[i + 1] == 0) return keys[i + 3];
    return -1;
}

} // namespace

bool tiffGeoreference(const std::string& path, const TiffImage& t, TiffGeoreference& geo) {
    geo = TiffGeoreference();
    double originX = 0, originY = 0, sx = 0, sy = 0;
    if (t.transformation.size() == 16) {
        // x = a·i + b·j + d, y = e·i + f·j + h: no rotation means b = e = 0,
        // north up means f < 0.
        const std::vector<double>& m = t.transformation;
        if (m[1] != 0 || m[4] != 0 || !(m[0] > 0) || !(m[5] < 0)) {
            report(Rotated, path.c_str());
            return false;
        }
        sx = m[0];
        sy = -m[5];
        originX = m[3];
        originY = m[7];
    } else if (t.pixelScale.size() >= 2 && t.tiepoints.size() >= 6) {
        sx = t.pixelScale[0];
        sy = t.pixelScale[1];
        if (sx < 0 || sy < 0) {
            report(Rotated, path.c_str());
            return false;
        }
        // The tie point joins raster position (i, j) to model (x, y).
        originX = t.tiepoints[3] - t.tiepoints[0] * sx;
        originY = t.tiepoints[4] + t.tiepoints[1] * sy;
    } else {
        return true; // no georeference
    }
    if (!(sx > 0) || !(sy > 0) || !std::isfinite(sx) || !std::isfinite(sy) ||
        !std::isfinite(originX) || !std::isfinite(originY)) {
        report(FormatErrorIn, path.c_str());
        return false;
    }
    // Raster position (0, 0) is the corner of the first pixel, unless the
    // file says a pixel is a point: then it is the pixel's centre.
    const bool pixelIsPoint = geoKey(t.geoKeys, RasterType) == 2;
    geo.known = true;
    geo.stepX = sx;
    geo.stepY = sy;
    geo.cornerX = pixelIsPoint ? originX - sx / 2 : originX;
    geo.cornerY = pixelIsPoint ? originY + sy / 2 : originY;
    const int model = geoKey(t.geoKeys, ModelType);
    const int projected = geoKey(t.geoKeys, ProjectedType);
    const int geographic = geoKey(t.geoKeys, GeographicType);
    geo.geographic = model == 2 || (model < 0 && projected < 0 && geographic > 0);
    // 32767 is "user-defined": no EPSG code to give.
    const int code = geo.geographic ? geographic : projected;
    geo.epsg = code > 0 && code < 32767 ? code : 0;
    return true;
}
