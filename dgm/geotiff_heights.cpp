// Heights from a GeoTIFF: one band of 8, 16 or 32-bit integers or 32 or
// 64-bit floats, placed by the GeoTIFF tags. A value belongs to the centre
// of its pixel; GDAL's no-data value (tag 42113) becomes a hole.
#include "common/message.h"
#include "common/numeric.h"
#include "dgm/elevation_readers.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_structure.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* SeveralBands =
    "%s: mehrere Baender (%u) werden nicht unterstuetzt (umwandeln mit: %s)!\n";
constexpr const char* OtherSamples =
    "%s: Werte mit %u Bit im Sampleformat %s werden nicht unterstuetzt (umwandeln mit: %s)!\n";
// JPEG loses detail: heights from it would be made up to a few metres.
constexpr const char* JpegHeights =
    "%s: JPEG-Kompression ist fuer Hoehen zu ungenau und wird nicht unterstuetzt!\n";

const char* sampleFormatName(unsigned format) {
    switch (format) {
    case 1:
        return "ohne Vorzeichen";
    case 2:
        return "mit Vorzeichen";
    case 3:
        return "Gleitkomma";
    case 5:
    case 6:
        return "komplex";
    default:
        return "unbekannt";
    }
}
constexpr const char* NoGeoreference = "%s: keine Georeferenz!\n";

template <typename T>
double sampleAt(const std::uint8_t* p, std::size_t i) {
    T v;
    std::memcpy(&v, p + i * sizeof(T), sizeof(T));
    return static_cast<double>(v);
}

} // namespace

bool readGeoTiffHeights(const std::string& path, const ByteSource& source, ElevationGrid& out) {
    TiffImage t;
    if (!parseTiff(path, source, t)) return false;
    if (t.compression == 7) {
        report(JpegHeights, path.c_str());
        return false;
    }
    if (t.samplesPerPixel != 1) {
        report(SeveralBands, path.c_str(), unsigned{t.samplesPerPixel},
               tiffRecipe(TiffFix::OneBand, path).c_str());
        return false;
    }
    const unsigned bits = t.bitsPerSample, format = t.sampleFormat;
    using Convert = double (*)(const std::uint8_t*, std::size_t);
    Convert convert = nullptr;
    if (format == 1 && bits == 8) convert = sampleAt<std::uint8_t>;
    if (format == 1 && bits == 16) convert = sampleAt<std::uint16_t>;
    if (format == 1 && bits == 32) convert = sampleAt<std::uint32_t>;
    if (format == 2 && bits == 8) convert = sampleAt<std::int8_t>;
    if (format == 2 && bits == 16) convert = sampleAt<std::int16_t>;
    if (format == 2 && bits == 32) convert = sampleAt<std::int32_t>;
    if (format == 3 && bits == 32) convert = sampleAt<float>;
    if (format == 3 && bits == 64) convert = sampleAt<double>;
    if (!convert) {
        report(OtherSamples, path.c_str(), bits, sampleFormatName(format),
               tiffRecipe(TiffFix::Float32, path).c_str());
        return false;
    }
    TiffGeoreference geo;
    if (!tiffGeoreference(path, t, geo)) return false;
    if (!geo.known) {
        report(NoGeoreference, path.c_str());
        return false;
    }
    std::vector<std::uint8_t> pixels;
    if (!decodeTiff(path, source, t, pixels)) return false;

    ElevationGrid g;
    g.columns = t.width;
    g.rows = t.height;
    g.stepX = geo.stepX;
    g.stepY = geo.stepY;
    g.west = geo.cornerX + geo.stepX / 2;
    g.north = geo.cornerY - geo.stepY / 2;
    g.geographic = geo.geographic;
    g.epsg = geo.epsg;
    g.heights.resize(g.columns * g.rows);
    // The no-data text is compared as the samples are stored: a float band
    // holds the single-precision value of the text (-9999.9 is stored as
    // -9999.900390625, never equal to the double -9999.9).
    const double noData = format == 3 && bits == 32 ? toSingle(t.noData) : t.noData;
    const bool noDataIsNan = t.hasNoData && std::isnan(t.noData);
    for (std::size_t i = 0; i < g.heights.size(); ++i) {
        const double v = convert(pixels.data(), i);
        if (t.hasNoData && (v == noData || (noDataIsNan && std::isnan(v)))) {
            g.heights[i] = ElevationGrid::NoData;
            ++g.noData.declared;
        } else {
            // Any other value as it is (-3.4e38, 2^31, infinities, an
            // undeclared NaN): readElevationFile judges it.
            g.heights[i] = toSingle(v);
        }
    }
    out = std::move(g);
    return true;
}
