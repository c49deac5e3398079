#include "dgm/tiff_structure.h"

#include "common/byte_source.h"
#include "common/bytes.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "dgm/reader_support.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stb/stb_image.h>

namespace {

constexpr const char* OldJpeg =
    "%s: altes JPEG (Kompression 6) wird nicht unterstuetzt (umwandeln mit: %s)!\n";
constexpr const char* OtherCompression =
    "%s: Kompression %s wird nicht unterstuetzt (umwandeln mit: %s)!\n";
constexpr const char* OtherPredictor =
    "%s: Praediktor %u wird nicht unterstuetzt (umwandeln mit: %s)!\n";
constexpr const char* Rotated = "%s: gedrehtes oder gespiegeltes Raster wird nicht unterstuetzt "
                                "(umwandeln mit: %s)!\n";
constexpr const char* JpegLayout =
    "%s: JPEG mit %u Baendern zu %u Bit wird nicht unterstuetzt (umwandeln mit: %s)!\n";

// The compressions we meet in downloads but do not read, by name.
struct CompressionName {
    std::uint16_t code;
    const char* name;
};
constexpr CompressionName CompressionNames[] = {
    {2, "CCITT RLE"},       {3, "CCITT Fax 3"},  {4, "CCITT Fax 4"},   {32771, "CCITT RLEW"},
    {32809, "ThunderScan"}, {32908, "PixarLog"}, {32909, "PixarLog"},  {34661, "JBIG"},
    {34676, "SGILog"},      {34677, "SGILog24"}, {33003, "JPEG 2000"}, {33005, "JPEG 2000"},
    {34712, "JPEG 2000"},   {34887, "LERC"},     {34925, "LZMA"},      {50000, "ZSTD"},
    {50001, "WebP"},        {50002, "JPEG XL"},  {52546, "JPEG XL"},
};

// The most bytes one byte of compressed data can become: PackBits repeats
// a byte at most 128 times for 2 bytes, Deflate reaches 1032 : 1, an LZW
// code of 9 to 12 bits stands for at most 4094 bytes; a JPEG block of one
// flat colour takes a few bits for 64 pixels of 3 bytes.
std::uint64_t expansionLimit(std::uint16_t compression) {
    switch (compression) {
    case 1:
        return 1;
    case 32773:
        return 64;
    case 5:
    case 7:
        return 4096;
    default:
        return 1032;
    }
}

// The largest list of values one tag may hold: a strip or tile list of
// eight million blocks. A header that claims more gets no memory.
constexpr std::uint64_t MaxTagBytes = std::uint64_t{1} << 26;

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
    JpegTables = 347,
    YCbCrSubsampling = 530,
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
    case 16:
    case 17:
    case 18:
        return 8;
    default:
        return 0;
    }
}

// Reads the numbers of a TIFF file in its byte order.
class TiffReader {
  public:
    TiffReader(std::span<const std::uint8_t> bytes, bool bigEndian)
        : r_(bytes.data(), bytes.size()), big_(bigEndian) {}
    ByteReader& raw() { return r_; }
    std::uint16_t u16() { return big_ ? r_.u16be() : r_.u16(); }
    std::uint32_t u32() { return big_ ? r_.u32be() : r_.u32(); }
    std::uint64_t u64() { return big_ ? r_.u64be() : r_.u64(); }
    float f32() { return big_ ? r_.f32be() : r_.f32(); }
    double f64() { return big_ ? r_.f64be() : r_.f64(); }

  private:
    ByteReader r_;
    bool big_;
};

struct Entry {
    std::uint16_t tag = 0, type = 0;
    std::uint64_t count = 0;
    bool inlined = false;                // the values fill the entry's value field
    std::array<std::uint8_t, 8> field{}; // the value field as stored
    std::uint64_t offset = 0;            // else where the values are in the file
};

// The values of the entries, fetched from the file when they lie outside.
class EntryValues {
  public:
    EntryValues(const ByteSource& file, bool bigEndian) : file_(file), big_(bigEndian) {}

    // The bytes of the values; false when they are not (all) in the file,
    // the type is unknown or the list is beyond any real file's.
    bool bytes(const Entry& e, std::span<const std::uint8_t>& out) {
        const std::size_t size = typeSize(e.type);
        if (size == 0 || e.count > MaxTagBytes / size) return false;
        const auto n = static_cast<std::size_t>(e.count * size);
        if (e.inlined) {
            out = {e.field.data(), n};
            return true;
        }
        out = file_.view(e.offset, n, buffer_);
        return out.size() == n;
    }

    // Every numeric type as doubles (a 64-bit integer above 2^53 rounded).
    bool reals(const Entry& e, std::vector<double>& out) {
        out.clear();
        std::span<const std::uint8_t> b;
        if (e.type == 2 || !bytes(e, b)) return false;
        TiffReader in(b, big_);
        out.reserve(static_cast<std::size_t>(e.count));
        for (std::uint64_t i = 0; i < e.count; ++i) {
            double v = 0;
            switch (e.type) {
            case 1:
            case 7:
                v = in.raw().u8();
                break;
            case 6:
                v = static_cast<std::int8_t>(in.raw().u8());
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
            case 16:
            case 18:
                v = static_cast<double>(in.u64());
                break;
            case 17:
                v = static_cast<double>(static_cast<std::int64_t>(in.u64()));
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
        return !in.raw().failed();
    }

    // Whole numbers that fit the field, exactly: offsets, counts, sizes.
    bool integers(const Entry& e, std::vector<std::uint64_t>& out) {
        out.clear();
        std::span<const std::uint8_t> b;
        if ((e.type != 1 && e.type != 3 && e.type != 4 && e.type != 16 && e.type != 18) ||
            !bytes(e, b))
            return false;
        TiffReader in(b, big_);
        out.reserve(static_cast<std::size_t>(e.count));
        for (std::uint64_t i = 0; i < e.count; ++i)
            out.push_back(e.type == 1   ? in.raw().u8()
                          : e.type == 3 ? in.u16()
                          : e.type == 4 ? in.u32()
                                        : in.u64());
        return !in.raw().failed();
    }

    bool single(const Entry& e, std::uint32_t& out) {
        std::vector<std::uint64_t> v;
        if (!integers(e, v) || v.empty() || v[0] > UINT32_MAX) return false;
        out = static_cast<std::uint32_t>(v[0]);
        return true;
    }

  private:
    const ByteSource& file_;
    bool big_;
    std::vector<std::uint8_t> buffer_;
};

bool swapNeeded(bool bigEndian) {
    return bigEndian != (std::endian::native == std::endian::big);
}

// A path as one word of a command line.
std::string commandWord(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : "\"" + path + "\"";
}

bool reportCompression(const std::string& path, unsigned code) {
    if (code == 6) {
        report(OldJpeg, path.c_str(), tiffRecipe(TiffFix::Recompress, path).c_str());
        return false;
    }
    std::string name = formatText("Nr. %u", code);
    for (const CompressionName& c : CompressionNames)
        if (c.code == code) name = c.name;
    report(OtherCompression, path.c_str(), name.c_str(),
           tiffRecipe(TiffFix::Recompress, path).c_str());
    return false;
}

} // namespace

std::string tiffRecipe(TiffFix fix, const std::string& path) {
    const std::string stem =
        path.substr(0, path.size() - lowerExtension(splitPath(path).name).size());
    const std::string files = commandWord(path) + " " + commandWord(stem + "_neu.tif");
    switch (fix) {
    case TiffFix::Recompress:
        return "gdal_translate -co COMPRESS=DEFLATE " + files;
    case TiffFix::OneBand:
        return "gdal_translate -b 1 " + files;
    case TiffFix::Float32:
        return "gdal_translate -ot Float32 " + files;
    case TiffFix::Rgb:
        return "gdal_translate -co PHOTOMETRIC=RGB " + files;
    case TiffFix::Byte:
        return "gdal_translate -ot Byte -scale -co PHOTOMETRIC=RGB " + files;
    case TiffFix::NorthUp:
        return "gdalwarp " + files;
    }
    return {};
}

bool looksLikeTiff(std::string_view head) {
    if (head.size() < 4) return false;
    return head.substr(0, 4) == std::string_view("II*\0", 4) ||
           head.substr(0, 4) == std::string_view("MM\0*", 4) ||
           head.substr(0, 4) == std::string_view("II+\0", 4) ||
           head.substr(0, 4) == std::string_view("MM\0+", 4);
}

bool parseTiffQuietly(const ByteSource& file, TiffImage& image) {
    const QuietMessages quiet;
    return parseTiff("", file, image);
}

bool parseTiff(const std::string& path, const ByteSource& file, TiffImage& image) {
    image = TiffImage();
    const auto fail = [&](const char* format) {
        report(format, path.c_str());
        return false;
    };
    std::uint8_t headBytes[16] = {};
    const std::size_t got = file.readSome(0, sizeof headBytes, headBytes);
    if (!looksLikeTiff(std::string_view(reinterpret_cast<const char*>(headBytes), got)))
        return fail(FormatErrorIn);
    const bool big = headBytes[0] == 'M';
    const bool bigTiff = headBytes[big ? 3 : 2] == '+';
    TiffReader head({headBytes, got}, big);
    head.raw().skip(4);
    std::uint64_t ifd = 0;
    if (bigTiff) {
        // The offset size, always 8, and a reserved 0.
        if (head.u16() != 8 || head.u16() != 0) return fail(FormatErrorIn);
        ifd = head.u64();
    } else {
        ifd = head.u32();
    }
    if (head.raw().failed()) return fail(FormatErrorIn);

    // The IFD: its count, then the entries, read in one piece.
    const std::size_t countBytes = bigTiff ? 8 : 2, entryBytes = bigTiff ? 20 : 12;
    std::uint8_t countField[8] = {};
    if (!file.read(ifd, countBytes, countField)) return fail(FormatErrorIn);
    TiffReader countReader({countField, countBytes}, big);
    const std::uint64_t n = bigTiff ? countReader.u64() : countReader.u16();
    if (n > 65535) return fail(FormatErrorIn); // no real IFD has more tags
    std::vector<std::uint8_t> ifdBuffer;
    const std::span<const std::uint8_t> ifdBytes =
        file.view(ifd + countBytes, static_cast<std::size_t>(n) * entryBytes, ifdBuffer);
    if (ifdBytes.size() != n * entryBytes) return fail(FormatErrorIn);
    TiffReader in(ifdBytes, big);
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(n));
    for (std::uint64_t i = 0; i < n; ++i) {
        Entry e;
        e.tag = in.u16();
        e.type = in.u16();
        e.count = bigTiff ? in.u64() : in.u32();
        const std::size_t fieldBytes = bigTiff ? 8 : 4;
        const std::size_t size = typeSize(e.type);
        e.inlined = size != 0 && e.count <= fieldBytes / size;
        in.raw().bytes(e.field.data(), fieldBytes);
        TiffReader field({e.field.data(), fieldBytes}, big);
        e.offset = bigTiff ? field.u64() : field.u32();
        // Values beyond the end make the entry unreadable, checked on use.
        entries.push_back(e);
    }
    if (in.raw().failed()) return fail(FormatErrorIn);

    TiffImage t;
    t.bigEndian = big;
    t.bigTiff = bigTiff;
    EntryValues values(file, big);
    std::uint32_t rowsPerStrip = UINT32_MAX, tileWidth = 0, tileLength = 0;
    std::vector<std::uint64_t> stripOffsets, stripCounts, tileOffsets, tileCounts;
    bool ok = true;
    for (const Entry& e : entries) {
        std::uint32_t v = 0;
        std::vector<std::uint64_t> list;
        switch (e.tag) {
        case ImageWidth:
            ok = values.single(e, t.width);
            break;
        case ImageLength:
            ok = values.single(e, t.height);
            break;
        case BitsPerSample:
            // One value per band, all the same.
            ok = values.integers(e, list) && !list.empty();
            for (std::uint64_t b : list)
                ok = ok && b == list[0];
            if (ok)
                t.bitsPerSample = static_cast<std::uint16_t>(std::min<std::uint64_t>(list[0], 999));
            break;
        case SampleFormat:
            ok = values.integers(e, list) && !list.empty();
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
            ok = values.single(e, v) && v <= 65535;
            if (e.tag == Compression) t.compression = static_cast<std::uint16_t>(v);
            if (e.tag == Photometric) t.photometric = static_cast<std::uint16_t>(v);
            if (e.tag == SamplesPerPixel) t.samplesPerPixel = static_cast<std::uint16_t>(v);
            if (e.tag == PlanarConfiguration) t.planar = static_cast<std::uint16_t>(v);
            if (e.tag == Predictor) t.predictor = static_cast<std::uint16_t>(v);
            break;
        case RowsPerStrip:
            ok = values.single(e, rowsPerStrip);
            break;
        case TileWidth:
            ok = values.single(e, tileWidth);
            break;
        case TileLength:
            ok = values.single(e, tileLength);
            break;
        case StripOffsets:
            ok = values.integers(e, stripOffsets);
            break;
        case StripByteCounts:
            ok = values.integers(e, stripCounts);
            break;
        case TileOffsets:
            ok = values.integers(e, tileOffsets);
            t.tiled = true;
            break;
        case TileByteCounts:
            ok = values.integers(e, tileCounts);
            break;
        case ColorMap:
            ok = values.integers(e, list);
            t.colourMap.assign(list.begin(), list.end());
            break;
        case JpegTables: {
            std::span<const std::uint8_t> b;
            ok = (e.type == 7 || e.type == 1) && values.bytes(e, b);
            if (ok) t.jpegTables.assign(b.begin(), b.end());
            break;
        }
        case YCbCrSubsampling:
            // How the colour planes are thinned: 1, 2 or 4 pixels across
            // and down. The JPEG stream says it again; only nonsense is
            // refused here.
            ok = values.integers(e, list) && list.size() == 2;
            for (std::uint64_t f : list)
                ok = ok && (f == 1 || f == 2 || f == 4);
            break;
        case ModelPixelScale:
            ok = values.reals(e, t.pixelScale) && t.pixelScale.size() >= 2;
            break;
        case ModelTiepoint:
            ok = values.reals(e, t.tiepoints);
            break;
        case ModelTransformation:
            ok = values.reals(e, t.transformation) && t.transformation.size() == 16;
            break;
        case GeoKeyDirectory:
            ok = e.type == 3 && values.integers(e, list);
            t.geoKeys.assign(list.begin(), list.end());
            break;
        case GdalNoData: {
            // Text such as "-9999" or "nan", NUL-terminated.
            std::span<const std::uint8_t> b;
            ok = e.type == 2 && values.bytes(e, b);
            std::string_view text(reinterpret_cast<const char*>(b.data()), b.size());
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

    if (t.compression != 1 && t.compression != 5 && t.compression != 7 && t.compression != 8 &&
        t.compression != 32946 && t.compression != 32773)
        return reportCompression(path, t.compression);
    if (t.predictor != 1 && t.predictor != 2 && t.predictor != 3) {
        report(OtherPredictor, path.c_str(), unsigned{t.predictor},
               tiffRecipe(TiffFix::Recompress, path).c_str());
        return false;
    }
    if (t.compression == 7) {
        // Baseline JPEG holds 8-bit grey or three colours; each plane of a
        // planar picture is a grey JPEG of its own.
        // (YCbCr planes apart would come out as grey planes: refused.)
        const bool grey = t.samplesPerPixel == 1 || (t.planar == 2 && t.photometric != 6);
        if (t.bitsPerSample != 8 || !(grey || (t.samplesPerPixel == 3 && t.planar != 2))) {
            report(JpegLayout, path.c_str(), unsigned{t.samplesPerPixel}, unsigned{t.bitsPerSample},
                   tiffRecipe(TiffFix::Recompress, path).c_str());
            return false;
        }
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
    const std::uint64_t size = file.size();
    for (std::size_t i = 0; i < t.offsets.size(); ++i)
        if (t.offsets[i] > size || t.byteCounts[i] > size - t.offsets[i])
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

// One JPEG block into out: rows × (width × channels) bytes. The stream is
// the block's own, or the shared tables joined with it: the tables without
// their EOI, then the block without its SOI. A stream of three colours that
// the TIFF calls RGB gets an Adobe marker saying "no colour transform", so
// that the decoder does not take its samples for YCbCr.
bool decodeJpeg(const TiffImage& t, std::span<const std::uint8_t> in, std::size_t rows,
                int channels, std::uint8_t* out, std::vector<std::uint8_t>& stream) {
    static constexpr std::uint8_t NoTransform[] = {0xFF, 0xEE, 0,   14, 'A', 'd', 'o', 'b',
                                                   'e',  0,    100, 0,  0,   0,   0,   0};
    const auto marker = [](std::span<const std::uint8_t> b, std::size_t at, std::uint8_t m) {
        return b.size() >= at + 2 && b[at] == 0xFF && b[at + 1] == m;
    };
    if (!marker(in, 0, 0xD8)) return false; // SOI
    const std::span<const std::uint8_t> tables = t.jpegTables;
    const bool shared =
        tables.size() >= 4 && marker(tables, 0, 0xD8) && marker(tables, tables.size() - 2, 0xD9);
    const bool rgb = t.photometric == 2 && channels == 3;
    stream.clear();
    stream.insert(stream.end(), in.begin(), in.begin() + 2);
    if (rgb) stream.insert(stream.end(), std::begin(NoTransform), std::end(NoTransform));
    if (shared) stream.insert(stream.end(), tables.begin() + 2, tables.end() - 2);
    stream.insert(stream.end(), in.begin() + 2, in.end());
    if (stream.size() > INT32_MAX || !jpegTablesFit(stream)) return false;
    // The frame's size first: only a block of the size the TIFF says gets
    // memory (a strip at the bottom may hold just the rows left).
    int w = 0, h = 0, n = 0;
    const int length = static_cast<int>(stream.size());
    if (!stbi_info_from_memory(stream.data(), length, &w, &h, &n)) return false;
    if (static_cast<std::uint32_t>(w) != t.blockWidth || static_cast<std::size_t>(h) < rows ||
        static_cast<std::uint32_t>(h) > t.blockHeight || n != channels)
        return false;
    stbi_uc* pixels = stbi_load_from_memory(stream.data(), length, &w, &h, &n, channels);
    if (!pixels) return false;
    if (static_cast<std::uint32_t>(w) != t.blockWidth || static_cast<std::size_t>(h) < rows) {
        stbi_image_free(pixels);
        return false;
    }
    std::memcpy(out, pixels, rows * t.blockWidth * static_cast<std::size_t>(channels));
    stbi_image_free(pixels);
    return true;
}

} // namespace

bool decodeTiff(const std::string& path, const ByteSource& file, const TiffImage& t,
                std::vector<std::uint8_t>& pixels) {
    pixels.clear();
    const auto formatError = [&] {
        pixels.clear();
        if (file.readFailed())
            reportInputProblem(InputProblem::ReadFailed, path);
        else
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
    std::uint64_t allStored = 0;
    for (std::uint64_t c : t.byteCounts)
        allStored = std::min<std::uint64_t>(allStored + c, total); // each below 2^63
    if (allStored < total && allStored * expansionLimit(t.compression) < total)
        return formatError();

    pixels.resize(total);
    std::vector<std::uint8_t> block, scratch, input, stream;
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
                const std::uint64_t stored = t.byteCounts[index];
                // A strip at the bottom holds only the rows left; a tile
                // is always whole.
                const std::size_t top = by * t.blockHeight;
                const std::size_t rows =
                    t.tiled ? t.blockHeight : std::min<std::size_t>(t.blockHeight, t.height - top);
                const std::size_t size = rows * rowBytes;
                // The same bound for each block: a tile far larger than the
                // picture must come with the data to fill it.
                if (size > stored * expansionLimit(t.compression)) return formatError();
                // Compressed data is never much larger than what it holds
                // (the worst of LZW: 12 bits a byte); an uncompressed block
                // is read only as far as its pixels go.
                const std::uint64_t take =
                    t.compression == 1 ? size : std::min<std::uint64_t>(stored, 2 * size + 65536);
                if (take > stored) return formatError();
                // One block at a time from the file: a BigTIFF of gigabytes
                // is never held whole.
                const std::span<const std::uint8_t> data =
                    file.view(t.offsets[index], static_cast<std::size_t>(take), input);
                if (data.size() != take) return formatError();
                const std::uint8_t* in = data.data();
                const std::size_t n = data.size();
                if (block.size() < size) block.resize(size);
                bool ok = false;
                switch (t.compression) {
                case 1:
                    ok = true;
                    std::memcpy(block.data(), in, size);
                    break;
                case 32773:
                    ok = unpackBits(in, n, block.data(), size);
                    break;
                case 5:
                    ok = lzw.decode(in, n, block.data(), size);
                    break;
                case 7:
                    ok = decodeJpeg(t, data, rows, static_cast<int>(blockPixelBytes), block.data(),
                                    stream);
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
            report(Rotated, path.c_str(), tiffRecipe(TiffFix::NorthUp, path).c_str());
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
            report(Rotated, path.c_str(), tiffRecipe(TiffFix::NorthUp, path).c_str());
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
