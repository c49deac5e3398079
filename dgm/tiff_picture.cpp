// Orthophotos stored as TIFF, turned into 8-bit RGB. 16-bit bands keep
// their upper byte; extra bands (alpha) are dropped.
#include "dgm/tiff_picture.h"

#include "common/message.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_structure.h"

#include <cstring>

namespace {

constexpr const char* OtherColours =
    "%s: Farbmodell %u mit %u Baendern zu %u Bit wird nicht unterstuetzt!\n";

} // namespace

bool readTiffPicture(const std::string& path, RgbImage& image, GeoPlacement& placement) {
    image = RgbImage();
    placement = GeoPlacement();
    std::vector<std::uint8_t> bytes;
    if (!loadRegularFile(path, MaxBinaryFileBytes, bytes)) return false;
    TiffImage t;
    if (!parseTiff(path, bytes, t)) return false;
    const unsigned kind = t.photometric, bands = t.samplesPerPixel, bits = t.bitsPerSample;
    const bool grey = (kind == 0 || kind == 1) && bands >= 1;
    const bool rgb = kind == 2 && bands >= 3;
    const bool palette = kind == 3 && bands == 1 && bits == 8 && t.colourMap.size() == 3 * 256;
    if (!(grey || rgb || palette) || t.sampleFormat != 1 || (bits != 8 && bits != 16)) {
        report(OtherColours, path.c_str(), kind, bands, bits);
        return false;
    }
    TiffGeoreference geo;
    if (!tiffGeoreference(path, t, geo)) return false;
    std::vector<std::uint8_t> pixels;
    if (!decodeTiff(path, bytes, t, pixels)) return false;

    RgbImage img;
    img.width = t.width;
    img.height = t.height;
    img.rgb.resize(img.width * img.height * 3);
    const std::size_t bytesPer = bits / 8, pixelBytes = bytesPer * bands;
    for (std::size_t i = 0; i < img.width * img.height; ++i) {
        const std::uint8_t* px = pixels.data() + i * pixelBytes;
        // The upper byte of a band, in the host's order.
        const auto band = [&](std::size_t b) -> std::uint8_t {
            if (bytesPer == 1) return px[b];
            std::uint16_t v;
            std::memcpy(&v, px + 2 * b, 2);
            return static_cast<std::uint8_t>(v >> 8);
        };
        std::uint8_t* dst = img.rgb.data() + 3 * i;
        if (rgb) {
            dst[0] = band(0);
            dst[1] = band(1);
            dst[2] = band(2);
        } else if (palette) {
            for (std::size_t c = 0; c < 3; ++c)
                dst[c] = static_cast<std::uint8_t>(t.colourMap[c * 256 + px[0]] >> 8);
        } else {
            const std::uint8_t v = kind == 0 ? static_cast<std::uint8_t>(255 - band(0)) : band(0);
            dst[0] = dst[1] = dst[2] = v;
        }
    }
    image = std::move(img);
    if (geo.known) {
        placement.known = true;
        placement.west = geo.cornerX;
        placement.north = geo.cornerY;
        placement.stepX = geo.stepX;
        placement.stepY = geo.stepY;
        placement.geographic = geo.geographic;
        placement.epsg = geo.epsg;
    }
    return true;
}
