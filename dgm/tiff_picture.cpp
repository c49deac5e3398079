// Orthophotos stored as TIFF, turned into 8-bit RGB. 16-bit bands keep
// their upper byte; the bands not chosen (alpha, infrared) are dropped.
#include "dgm/tiff_picture.h"

#include "common/message.h"
#include "common/paths.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_structure.h"

#include <cstring>

namespace {

constexpr const char* OtherColours = "%s: Farbmodell %s mit %u Baendern zu %u Bit wird nicht "
                                     "unterstuetzt (umwandeln mit: %s)!\n";
std::string colourModelName(unsigned photometric) {
    switch (photometric) {
    case 0:
    case 1:
        return "Grau";
    case 2:
        return "RGB";
    case 3:
        return "Palette";
    case 4:
        return "Maske";
    case 5:
        return "CMYK";
    case 6:
        return "YCbCr ohne JPEG";
    case 8:
    case 9:
    case 10:
        return "Lab";
    default:
        return formatText("Nr. %u", photometric);
    }
}

constexpr const char* NoSuchBand = "%s: Band %d gibt es nicht (Baender: %u)!\n";

} // namespace

bool pickBands(const std::string& path, unsigned bands, const BandChoice& choice,
               unsigned (&picked)[3]) {
    if (choice == BandChoice{} && bands < 3) {
        picked[0] = picked[1] = picked[2] = 0;
        return true;
    }
    const int wanted[3] = {choice.red, choice.green, choice.blue};
    for (int k = 0; k < 3; ++k) {
        if (wanted[k] < 1 || static_cast<unsigned>(wanted[k]) > bands) {
            report(NoSuchBand, path.c_str(), wanted[k], bands);
            return false;
        }
        picked[k] = static_cast<unsigned>(wanted[k] - 1);
    }
    return true;
}

InputRole roleOf(const std::string& name, const ByteSource& source) {
    unsigned char head[8] = {};
    const std::size_t got = source.readSome(0, sizeof head, head);
    const std::string_view text(reinterpret_cast<const char*>(head), got);
    if (looksLikeTiff(text)) {
        TiffImage t;
        if (!parseTiffQuietly(source, t)) return InputRole::Unknown;
        const bool picture = t.samplesPerPixel >= 2 || t.photometric == 2 || t.photometric == 3 ||
                             t.photometric == 6 || t.compression == 7;
        return picture ? InputRole::Picture : InputRole::Heights;
    }
    if (text.starts_with("\x89PNG") || text.starts_with("\xFF\xD8\xFF") || text.starts_with("BM"))
        return InputRole::Picture;
    const std::string ext = lowerExtension(splitPath(name).name);
    const bool pictureName = ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".bmp";
    return pictureName ? InputRole::Picture : InputRole::Heights;
}

InputRole roleOf(const std::string& path) {
    FileSource file;
    if (file.open(path) != InputProblem::None) return roleOf(path, MemorySource(nullptr, 0));
    return roleOf(path, file);
}

bool readTiffPicture(const std::string& path, RgbImage& image, GeoPlacement& placement,
                     const BandChoice& choice) {
    image = RgbImage();
    placement = GeoPlacement();
    FileSource file;
    if (!openRegularFile(path, file)) return false;
    return readTiffPicture(path, file, image, placement, choice);
}

bool readTiffPicture(const std::string& path, const ByteSource& source, RgbImage& image,
                     GeoPlacement& placement, const BandChoice& choice) {
    image = RgbImage();
    placement = GeoPlacement();
    TiffImage t;
    if (!parseTiff(path, source, t)) return false;
    const unsigned kind = t.photometric, bands = t.samplesPerPixel, bits = t.bitsPerSample;
    // Grey and RGB alike: the bands are the picture's samples. YCbCr comes
    // out of the JPEG decoder as RGB.
    const bool bandwise =
        (kind == 0 || kind == 1 || kind == 2 || (kind == 6 && t.compression == 7)) && bands >= 1;
    const bool palette = kind == 3 && bands == 1 && bits == 8 && t.colourMap.size() == 3 * 256;
    if (!(bandwise || palette) || t.sampleFormat != 1 || (bits != 8 && bits != 16)) {
        // Samples of another size need scaling; 8 or 16 bits only another
        // colour model.
        const bool samples = t.sampleFormat == 1 && (bits == 8 || bits == 16);
        const std::string recipe = tiffRecipe(samples ? TiffFix::Rgb : TiffFix::Byte, path);
        report(OtherColours, path.c_str(), colourModelName(kind).c_str(), bands, bits,
               recipe.c_str());
        return false;
    }
    unsigned picked[3];
    if (!pickBands(path, bands, choice, picked)) return false;
    TiffGeoreference geo;
    if (!tiffGeoreference(path, t, geo)) return false;
    std::vector<std::uint8_t> pixels;
    if (!decodeTiff(path, source, t, pixels)) return false;

    RgbImage img;
    img.width = t.width;
    img.height = t.height;
    img.bands = bands;
    img.grey = !palette && picked[0] == picked[1] && picked[1] == picked[2];
    img.rgb.resize(img.width * img.height * 3);
    const std::size_t bytesPer = bits / 8, pixelBytes = bytesPer * bands;
    for (std::size_t i = 0; i < img.width * img.height; ++i) {
        const std::uint8_t* px = pixels.data() + i * pixelBytes;
        std::uint8_t* dst = img.rgb.data() + 3 * i;
        if (palette) {
            for (std::size_t c = 0; c < 3; ++c)
                dst[c] = static_cast<std::uint8_t>(t.colourMap[c * 256 + px[0]] >> 8);
            continue;
        }
        for (std::size_t c = 0; c < 3; ++c) {
            // The upper byte of the band, in the host's order.
            std::uint8_t v = px[picked[c] * bytesPer];
            if (bytesPer == 2) {
                std::uint16_t wide;
                std::memcpy(&wide, px + 2 * picked[c], 2);
                v = static_cast<std::uint8_t>(wide >> 8);
            }
            // White is zero: the values count darkness.
            dst[c] = kind == 0 ? static_cast<std::uint8_t>(255 - v) : v;
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
