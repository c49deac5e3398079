#include "dgm/colour_picture.h"

#include "common/byte_source.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "common/paths.h"
#include "dgm/reader_support.h"
#include "dgm/tiff_structure.h"
#include "platform/platform.h"
#include "raster/bitmap_writer.h"
#include "raster/hillshade.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <thread>

namespace {

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The picture's name split at the dot of its extension ("" when none).
std::pair<std::string, std::string> splitExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos) return {path, ""};
    for (std::size_t k = dot; k < path.size(); ++k)
        if (isFolderSeparator(path[k])) return {path, ""};
    return {path.substr(0, dot), path.substr(dot + 1)};
}

// One axis of the painting: for each pixel of the canvas the range of
// picture pixels whose centres lie within its grid step, or none.
struct PixelRun {
    long long from = 0;
    long long to = -1; // inclusive; from > to: the pixel lies off the picture
};

// lo/hi: the pixel's cell edges, centre: its grid point, all in picture
// pixel units (pixel i covers [i, i + 1)).
PixelRun runOf(double lo, double hi, double centre, std::size_t size) {
    PixelRun run;
    const double n = static_cast<double>(size);
    if (!(centre >= 0.0 && centre < n)) return run;
    if (lo > hi) std::swap(lo, hi);
    double a = std::ceil(lo - 0.5), b = std::ceil(hi - 0.5) - 1.0;
    // A picture coarser than the grid: the one pixel under the point.
    if (a > b) a = b = std::floor(centre);
    run.from = static_cast<long long>(std::clamp(a, 0.0, n - 1.0));
    run.to = static_cast<long long>(std::clamp(b, 0.0, n - 1.0));
    return run;
}

} // namespace

static bool readFileBeside(const std::string& path, std::vector<std::uint8_t>& bytes) {
    return readWholeFile(path, bytes);
}

WorldFile readWorldFile(const std::string& picturePath, GeoPlacement& placement) {
    return readWorldFile(picturePath, placement, readFileBeside);
}

WorldFile readWorldFile(const std::string& picturePath, GeoPlacement& placement,
                        const NeighbourReader& beside) {
    auto [base, ext] = splitExtension(picturePath);
    std::vector<std::string> names;
    if (ext.size() >= 2) names.push_back(std::string{ext.front(), ext.back(), 'w'});
    names.push_back(ext + "w");
    names.push_back("wld");
    std::vector<std::uint8_t> text;
    std::string found;
    for (const std::string& n : names) {
        for (const std::string& candidate : {asciiLower(n), upper(n)})
            if (beside(base + "." + candidate, text)) {
                found = base + "." + candidate;
                break;
            }
        if (!found.empty()) break;
    }
    if (found.empty()) return WorldFile::None;

    std::istringstream in(std::string(text.begin(), text.end()));
    std::array<double, 6> v{};
    for (double& x : v)
        if (!(in >> x) || !std::isfinite(x)) {
            report("Formatfehler in %s!\n", found.c_str());
            return WorldFile::Refused;
        }
    // A = v[0], D = v[1], B = v[2], E = v[3], C = v[4], F = v[5].
    if (v[1] != 0.0 || v[2] != 0.0) {
        report("Gedrehtes Bild wird nicht unterstuetzt: %s!\n", found.c_str());
        return WorldFile::Refused;
    }
    if (!(v[0] > 0.0) || !(v[3] < 0.0)) {
        report("Formatfehler in %s!\n", found.c_str());
        return WorldFile::Refused;
    }
    placement = GeoPlacement{};
    placement.known = true;
    placement.stepX = v[0];
    placement.stepY = -v[3];
    // The world file names the centre of the top-left pixel.
    placement.west = v[4] - v[0] / 2.0;
    placement.north = v[5] - v[3] / 2.0;
    return WorldFile::Read;
}

bool readPlacedPicture(const std::string& path, PlacedPicture& out, const BandChoice& choice) {
    out = PlacedPicture{};
    FileSource file;
    if (const InputProblem problem = file.open(path); problem != InputProblem::None) {
        reportInputProblem(problem, path);
        return false;
    }
    return readPlacedPicture(path, file, out, choice, readFileBeside);
}

bool readPlacedPicture(const std::string& path, const ByteSource& source, PlacedPicture& out,
                       const BandChoice& choice, const NeighbourReader& beside) {
    out = PlacedPicture{};
    char head[4] = {};
    // A TIFF (also a BigTIFF of gigabytes) is read block by block, never whole.
    if (looksLikeTiff(std::string_view(head, source.readSome(0, sizeof head, head)))) {
        if (!readTiffPicture(path, source, out.image, out.placement, choice)) return false;
    } else {
        std::vector<std::uint8_t> buffer;
        std::span<const std::uint8_t> bytes;
        const InputProblem problem = wholeSource(source, std::uint64_t{1} << 30, buffer, bytes);
        if (problem != InputProblem::None) {
            reportInputProblem(problem, path);
            return false;
        }
        int w = 0, h = 0, channels = 0;
        const bool jpeg = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8;
        if (jpeg && !jpegTablesFit(bytes)) {
            report("Bild nicht lesbar: %s (%s)!\n", path.c_str(), "Corrupt JPEG");
            return false;
        }
        // The channels as the file has them (a palette as its colours), so
        // that the choice of bands sees them.
        stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w,
                                                &h, &channels, 0);
        bytes = {};
        buffer = {};
        if (!pixels) {
            report("Bild nicht lesbar: %s (%s)!\n", path.c_str(), stbi_failure_reason());
            return false;
        }
        unsigned picked[3] = {0, 0, 0};
        const auto bands = static_cast<unsigned>(channels);
        if (!pickBands(path, bands, choice, picked)) {
            stbi_image_free(pixels);
            return false;
        }
        RgbImage& img = out.image;
        img.width = static_cast<std::size_t>(w);
        img.height = static_cast<std::size_t>(h);
        img.bands = bands;
        img.grey = picked[0] == picked[1] && picked[1] == picked[2];
        const std::size_t count = img.width * img.height;
        img.rgb.resize(count * 3);
        for (std::size_t i = 0; i < count; ++i)
            for (std::size_t c = 0; c < 3; ++c)
                img.rgb[3 * i + c] = pixels[i * bands + picked[c]];
        stbi_image_free(pixels);
    }
    if (out.image.width == 0 || out.image.height == 0) {
        report("Bild nicht lesbar: %s!\n", path.c_str());
        return false;
    }
    // The GeoTIFF tags come first; a world file beside the picture serves
    // every other picture (and a TIFF without tags).
    if (!out.placement.known) {
        GeoPlacement fromWorldFile;
        switch (readWorldFile(path, fromWorldFile, beside)) {
        case WorldFile::Read:
            out.placement = fromWorldFile;
            break;
        case WorldFile::Refused:
            return false;
        case WorldFile::None:
            break;
        }
    }
    return true;
}

ColourCanvas canvasFor(const TerrainPlace& place) {
    ColourCanvas canvas;
    if (place.columns < 2 || place.rows < 2) return canvas;
    canvas.width = place.columns - 1;
    canvas.height = place.rows - 1;
    canvas.rgb.assign(canvas.width * canvas.height * 3, 0);
    canvas.covered.assign(canvas.width * canvas.height, 0);
    return canvas;
}

std::size_t paintPicture(ColourCanvas& canvas, const TerrainPlace& place,
                         const PlacedPicture& picture) {
    const RgbImage& img = picture.image;
    const GeoPlacement& at = picture.placement;
    if (canvas.width == 0 || img.width == 0 || img.height == 0 ||
        img.rgb.size() != img.width * img.height * 3)
        return 0;
    if (canvas.covered.size() != canvas.width * canvas.height)
        canvas.covered.assign(canvas.width * canvas.height, 0);
    const double half = place.step / 2.0;
    // Without a georeference the picture covers the pixels of the canvas
    // (grid point c spans c - 0.5 .. c + 0.5 steps, rows from the northern
    // row but one down to the southern row), so a picture of the canvas's
    // size comes through pixel for pixel.
    const double cellsX = static_cast<double>(place.columns - 1);
    const double cellsY = static_cast<double>(place.rows - 1);
    auto pixelX = [&](double metricX) {
        if (!at.known)
            return ((metricX - place.west) / place.step + 0.5) / cellsX *
                   static_cast<double>(img.width);
        return (place.frame.toInputX(metricX) - at.west) / at.stepX;
    };
    auto pixelY = [&](double metricY) {
        if (!at.known)
            return ((place.north - metricY) / place.step - 0.5) / cellsY *
                   static_cast<double>(img.height);
        return (at.north - place.frame.toInputY(metricY)) / at.stepY;
    };

    std::vector<PixelRun> columns(canvas.width);
    for (std::size_t c = 0; c < canvas.width; ++c) {
        const double x = place.west + static_cast<double>(c) * place.step;
        columns[c] = runOf(pixelX(x - half), pixelX(x + half), pixelX(x), img.width);
    }
    std::size_t painted = 0;
    for (std::size_t r = 0; r < canvas.height; ++r) {
        // Canvas row r (from the south) is grid row rows - 1 - r (from the north).
        const double y = place.north - static_cast<double>(place.rows - 1 - r) * place.step;
        const PixelRun rowRun = runOf(pixelY(y + half), pixelY(y - half), pixelY(y), img.height);
        if (rowRun.from > rowRun.to) continue;
        for (std::size_t c = 0; c < canvas.width; ++c) {
            const PixelRun& colRun = columns[c];
            if (colRun.from > colRun.to) continue;
            std::uint64_t sum[3] = {0, 0, 0};
            for (long long j = rowRun.from; j <= rowRun.to; ++j) {
                const std::uint8_t* p = img.rgb.data() + (static_cast<std::size_t>(j) * img.width +
                                                          static_cast<std::size_t>(colRun.from)) *
                                                             3;
                for (long long i = colRun.from; i <= colRun.to; ++i, p += 3)
                    sum[0] += p[0], sum[1] += p[1], sum[2] += p[2];
            }
            const auto n = static_cast<std::uint64_t>((rowRun.to - rowRun.from + 1) *
                                                      (colRun.to - colRun.from + 1));
            std::uint8_t* q = canvas.rgb.data() + (r * canvas.width + c) * 3;
            for (int k = 0; k < 3; ++k)
                q[k] = static_cast<std::uint8_t>((sum[k] + n / 2) / n);
            canvas.covered[r * canvas.width + c] = 1;
            ++painted;
        }
    }
    return painted;
}

double coveredPercent(const ColourCanvas& canvas) {
    if (canvas.covered.empty()) return 0.0;
    const auto n = std::count_if(canvas.covered.begin(), canvas.covered.end(),
                                 [](std::uint8_t v) { return v != 0; });
    return 100.0 * static_cast<double>(n) / static_cast<double>(canvas.covered.size());
}

std::size_t shadeUncovered(ColourCanvas& canvas, const RowGrid& terrain) {
    const std::size_t pixels = canvas.width * canvas.height;
    if (pixels == 0 || canvas.rgb.size() != pixels * 3 || terrain.columns != canvas.width + 1 ||
        terrain.rowCount() != canvas.height + 1)
        return 0;
    float low = std::numeric_limits<float>::infinity(), high = -low;
    for (const std::vector<float>& row : terrain.rows) {
        if (row.size() != terrain.columns) return 0;
        for (float h : row) {
            if (std::isnan(h)) continue;
            low = std::min(low, h);
            high = std::max(high, h);
        }
    }
    if (low > high) return 0; // no height at all
    if (canvas.covered.size() != pixels) canvas.covered.assign(pixels, 0);
    const double range = static_cast<double>(high) - low;

    // Rows apart are shaded apart: a large terrain's shading takes as long
    // as reading it, so the rows are shared out among up to four threads.
    auto shadeRows = [&](std::size_t first, std::size_t end) {
        std::vector<double> factors(terrain.columns);
        std::size_t shaded = 0;
        for (std::size_t r = first; r < end; ++r) {
            const std::uint8_t* covered = canvas.covered.data() + r * canvas.width;
            if (std::all_of(covered, covered + canvas.width, [](std::uint8_t v) { return v != 0; }))
                continue;
            // Canvas row r (from the south) is grid row g (from the north).
            const std::size_t g = canvas.height - r;
            const std::vector<float>& here = terrain.rows[g];
            shadeRow(g > 0 ? terrain.rows[g - 1].data() : nullptr, here.data(),
                     g + 1 < terrain.rowCount() ? terrain.rows[g + 1].data() : nullptr,
                     terrain.columns, terrain.stepX, factors.data());
            for (std::size_t c = 0; c < canvas.width; ++c) {
                if (covered[c] || std::isnan(factors[c])) continue;
                const ReliefColour colour = shadedColour(
                    rampColour(range > 0.0 ? (here[c] - double{low}) / range : 0.0), factors[c]);
                std::uint8_t* q = canvas.rgb.data() + (r * canvas.width + c) * 3;
                q[0] = colour.red;
                q[1] = colour.green;
                q[2] = colour.blue;
                ++shaded;
            }
        }
        return shaded;
    };
    constexpr std::size_t RowsWorthAThread = 256;
    const std::size_t threads =
        std::clamp<std::size_t>(std::min<std::size_t>(std::thread::hardware_concurrency(), 4), 1,
                                std::max<std::size_t>(canvas.height / RowsWorthAThread, 1));
    std::vector<std::size_t> counts(threads, 0);
    std::vector<std::thread> workers;
    const std::size_t share = (canvas.height + threads - 1) / threads;
    for (std::size_t k = 1; k < threads; ++k)
        workers.emplace_back(
            [&, k] { counts[k] = shadeRows(k * share, std::min(canvas.height, (k + 1) * share)); });
    counts[0] = shadeRows(0, std::min(canvas.height, share));
    for (std::thread& w : workers)
        w.join();
    std::size_t shaded = 0;
    for (std::size_t n : counts)
        shaded += n;
    return shaded;
}

ColourCanvas shadedRelief(const RowGrid& terrain) {
    ColourCanvas canvas;
    if (terrain.columns < 2 || terrain.rowCount() < 2) return canvas;
    canvas.width = terrain.columns - 1;
    canvas.height = terrain.rowCount() - 1;
    canvas.rgb.assign(canvas.width * canvas.height * 3, 0);
    canvas.covered.assign(canvas.width * canvas.height, 0);
    shadeUncovered(canvas, terrain);
    return canvas;
}

std::vector<std::uint8_t> encodeBitmap(const ColourCanvas& canvas) {
    // The header's sizes are 32 bits; the writer refuses what does not fit.
    if (canvas.width > 0x7FFFFFFF || canvas.height > 0x7FFFFFFF) return {};
    return encodeBitmapFile(
        static_cast<std::int32_t>(canvas.width), static_cast<std::int32_t>(canvas.height),
        [&](std::int32_t r, std::uint8_t* bgr) {
            const std::uint8_t* p =
                canvas.rgb.data() + static_cast<std::size_t>(r) * canvas.width * 3;
            for (std::size_t c = 0; c < canvas.width; ++c, p += 3, bgr += 3) {
                bgr[0] = p[2];
                bgr[1] = p[1];
                bgr[2] = p[0];
            }
        });
}

void markShaded(std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 8) return;
    bytes[6] = static_cast<std::uint8_t>(ShadedBitmapMark & 0xFF);
    bytes[7] = static_cast<std::uint8_t>(ShadedBitmapMark >> 8);
}

bool readBitmapHead(const std::string& path, BitmapHead& head) {
    InputProblem problem = InputProblem::None;
    std::FILE* f = openInputFile(path, problem);
    if (!f) return false;
    std::uint8_t b[54] = {};
    std::size_t got = 0;
    const bool read = readFileAt(f, 0, b, sizeof b, got) && got == sizeof b;
    std::fclose(f);
    auto u16 = [&](int at) { return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8); };
    auto u32 = [&](int at) { return u16(at) | u16(at + 2) << 16; };
    if (!read || b[0] != 'B' || b[1] != 'M' || u32(10) != 54 || u16(26) != 1 || u16(28) != 24 ||
        u32(30) != 0)
        return false;
    head.width = static_cast<std::int32_t>(u32(18));
    head.height = static_cast<std::int32_t>(u32(22));
    head.shaded = u16(6) == ShadedBitmapMark;
    return head.width > 0 && head.height > 0;
}
