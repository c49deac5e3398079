#include "generator/generate_tiles.h"

#include "common/file_messages.h"
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "generator/host_folder.h"
#include "generator/tile_pool.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "raster/job_forecast.h"

#include <algorithm>
#include <memory>
#include <string_view>

namespace {

// The layout's object count and ids are 16-bit.
constexpr std::int64_t MaxTiles = 32767;
// A counted string of the layout holds at most 255 bytes.
constexpr std::size_t MaxObjectPath = 255;

// "Name" is one folder below the host's model folder, and part of every
// model path the layout stores: no separator, no drive, nothing that starts
// with a dot ("." and ".." name other folders).
bool isPlainFolderName(const std::string& name) {
    return name.find_first_of("\\/:") == std::string::npos && name.front() != '.';
}

// True when every object of the layout is a tile of this model folder, as
// this generator writes them ("<Name>\bmp<i>_<j>"), and it has no track or
// entry: replacing it loses nothing the next run could not make again.
bool holdsOnlyTilesOf(const Layout& layout, const std::string& name) {
    if (!layout.tracks.empty() || !layout.entries.empty()) return false;
    const std::string prefix = name + "\\bmp";
    auto isNumber = [](std::string_view t) {
        return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
    };
    for (const ObjectRecord& object : layout.objects) {
        std::string_view path = object.path;
        if (path.substr(0, prefix.size()) != prefix) return false;
        path.remove_prefix(prefix.size());
        const std::size_t cut = path.find('_');
        if (cut == std::string_view::npos || !isNumber(path.substr(0, cut)) ||
            !isNumber(path.substr(cut + 1)))
            return false;
    }
    return true;
}

// Before the generated layout replaces the file at path: a layout of the
// user's (one with tracks or other objects, or one that does not even load)
// is first copied to path + ".bak". A backup from an earlier run stays when
// the file holds only tiles. False after the message when the copy fails.
bool backUpUsersLayout(const std::string& path, const std::string& name,
                       std::optional<std::string>& backup) {
    std::vector<std::uint8_t> old;
    if (!readWholeFile(path, old)) return true; // nothing there to keep
    {
        // Its faults are not the user's concern now: it is kept whole.
        QuietMessages quiet;
        Layout layout;
        if (layout.loadFromMemory(old.data(), old.size()) == LoadResult::Loaded &&
            holdsOnlyTilesOf(layout, name))
            return true;
    }
    const std::string copy = path + ".bak";
    if (!writeFileSafely(copy, old)) return false;
    backup = copy;
    return true;
}

std::string objectPath(const std::string& name, std::int32_t i, std::int32_t j) {
    return formatText("%s\\bmp%d_%d", name.c_str(), i, j);
}

std::string modelPath(const std::string& root, const std::string& name, std::int32_t i,
                      std::int32_t j) {
    return formatText("%s%s\\bmp%d_%d.mod", root.c_str(), name.c_str(), i, j);
}

} // namespace

std::string generationSummary(const GenerationOutcome& outcome, const std::string& layoutPath) {
    // Paths as the operating system shows them: '/' on POSIX.
    std::string text = formatText(
        "%lld Modelle (%s) geschrieben in %s\n", static_cast<long long>(outcome.modelsWritten),
        bytesText(outcome.modelBytes).c_str(), osPath(outcome.modelFolder).c_str());
    // Without a host folder the host will not find them there: say why.
    if (outcome.besideSettings)
        text +=
            platformIsWindows()
                ? "Zumt ist nicht in der Registry eingetragen: die Modelle liegen neben der "
                  "erw. Anlage.\n"
                : "ZUMT_HOST_DIR ist nicht gesetzt: die Modelle liegen neben der erw. Anlage.\n";
    if (outcome.layoutFailed) return text + "Anlage nicht geschrieben.\n";
    return text + formatText("Anlage: %s\n", osPath(anchoredPath(layoutPath)).c_str());
}

void scaleColour(PixelColour& colour, float rgbFaktor) {
    // A byte times a float is exact in double precision.
    auto scale = [rgbFaktor](std::uint8_t byte) {
        std::int32_t v = truncToInt32(static_cast<double>(byte) * static_cast<double>(rgbFaktor));
        if (v > 255) v = 255;
        return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFF);
    };
    colour.red = scale(colour.red);
    colour.green = scale(colour.green);
    colour.blue = scale(colour.blue);
}

void fillTileMesh(const TerrainMapping& mapping, MeshModel& model, const ColourSource& colours,
                  const HeightSource& heights, const TileRect& rect) {
    // The previous tile's arrays are refilled, not freed: every tile of a
    // run but those at the edges has the same size.
    model.parts.resize(1);
    MeshPart& part = model.parts[0];

    const std::int32_t w = rect.maxX - rect.minX;
    const std::int32_t h = rect.maxY - rect.minY;
    const std::int32_t p = w + 1;
    part.faces.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    part.vertices.resize(static_cast<std::size_t>(p) * static_cast<std::size_t>(h + 1));
    part.formats.assign(1, MeshFormat{});

    // Quads, clockwise seen from above: (a, b+1), (a+1, b+1), (a+1, b), (a, b).
    for (std::int32_t a = 0; a < w; ++a) {
        for (std::int32_t b = 0; b < h; ++b) {
            MeshFace& f = part.faces[static_cast<std::size_t>(a * h + b)];
            f.indexCount = 4;
            f.moreIndices.clear();
            f.firstIndices[0] = static_cast<std::int16_t>(a + p * (b + 1));
            f.firstIndices[1] = static_cast<std::int16_t>((a + 1) + p * (b + 1));
            f.firstIndices[2] = static_cast<std::int16_t>((a + 1) + p * b);
            f.firstIndices[3] = static_cast<std::int16_t>(a + p * b);
        }
    }

    // scaleColour of every byte value: a tile scales some 5,000 bytes.
    std::uint8_t scaled[256];
    for (int byte = 0; byte < 256; ++byte) {
        PixelColour c{static_cast<std::uint8_t>(byte), 0, 0, 0};
        scaleColour(c, mapping.rgbFaktor);
        scaled[byte] = c.red;
    }
    // The colour bitmap has one pixel per grid step, so the last grid column
    // and row have no colour of their own and stay black. Row by row, as
    // the vertices and the bitmap lie in memory.
    for (std::int32_t r = rect.minY; r <= rect.maxY; ++r) {
        MeshVertex* v = part.vertices.data() + static_cast<std::size_t>(p) * (r - rect.minY);
        for (std::int32_t c = rect.minX; c <= rect.maxX; ++c, ++v) {
            *v = MeshVertex{};
            if (c < colours.width && r < colours.height) {
                const PixelColour colour = colours.colourAt(c, r);
                v->colour = {scaled[colour.red], scaled[colour.green], scaled[colour.blue],
                             colour.hasColour};
            }
            v->position[0] = wrapMul(c - rect.centreX, heights.pixelSize);
            v->position[1] = wrapMul(r - rect.centreY, heights.pixelSize);
            v->position[2] =
                pointHeight(mapping.faktor, heights.heightAt(c, r), mapping.offset, 0.0);
        }
    }
}

namespace {

// Everything a run works on, found and checked before any file is written.
struct RunPlan {
    std::unique_ptr<HeightSource> heights;
    std::unique_ptr<ColourBitmap> colours;
    Tiling tiling;
    std::string name;
    std::string modelRoot;  // the host's model folder, or empty for the current folder
    TerrainMapping mapping; // tileMapping's
};

// Reads the sources and checks, in this order, everything that would stop
// the run: none after the message (or, for a file its reader reported,
// without one of its own). withLayout: a layout will be written too.
std::optional<RunPlan> planRun(const TerrainValues& terrain, bool withLayout) {
    const std::optional<std::string>& colourFile = terrain.colourFile;
    if (!terrain.heightFile) {
        report(MissingHeightMessage);
        return std::nullopt;
    }
    if (!colourFile) {
        report("[Terrain1]:Farbe muss gesetzt sein!\n");
        return std::nullopt;
    }

    RunPlan plan;
    plan.heights = openHeightSource(terrain);
    if (!plan.heights) return std::nullopt;
    const HeightSource& heights = *plan.heights;
    plan.colours = openColourBitmap(*colourFile, heights);
    if (!plan.colours) return std::nullopt;

    // An empty "Name" would put the models into the root folder.
    const std::optional<std::string>& name = terrain.name;
    if (!name || name->empty()) {
        report("[Terrain1]:Name muss gesetzt sein!\n");
        return std::nullopt;
    }
    if (!isPlainFolderName(*name)) {
        report("[Terrain1]:Name muss ein einfacher Ordnername sein: %s!\n", name->c_str());
        return std::nullopt;
    }
    plan.name = *name;

    // A file that could not be read has been reported by its reader.
    if (heights.gridWidth == 0) return std::nullopt;

    // Everything below would divide by zero, loop without end or write
    // models and layouts that the host cannot read: stop before any file.
    std::optional<Tiling> tiling = tilingOrReport(terrain, heights);
    if (!tiling) return std::nullopt;
    plan.tiling = *tiling;
    const std::int64_t tiles = tiling->tileCount();
    if (tiles > MaxTiles) {
        report("Zu viele Kacheln: %lld (hoechstens %lld)!\n", static_cast<long long>(tiles),
               static_cast<long long>(MaxTiles));
        return std::nullopt;
    }
    if (!tilesFitFormat(*tiling)) {
        report("Kacheln zu gross fuer das Modellformat! Kachelgroesse hoechstens %.2f m!\n",
               2.0 * largestFittingTileHalf(*tiling) * heights.pixelSize / 100.0);
        return std::nullopt;
    }
    // Without a tile the run would only replace the layout by an empty one.
    if (tiles == 0) {
        report("Keine Kachel: Kachelabstand groesser als das Gelaende!\n");
        return std::nullopt;
    }

    // Every vertex height is trunc(Faktor x h + offset).
    plan.mapping = tileMapping(terrain, heights);
    if (!mappedHeightsFit(plan.mapping, heights)) return std::nullopt;

    std::optional<std::string> host = hostFolder();
    if (host && !hostFolderExists(*host)) {
        report("Zumt-Ordner %s nicht gefunden!\n", host->c_str());
        return std::nullopt;
    }
    plan.modelRoot = host ? *host + "Modelle\\" : std::string();
    // The longest names are those of the last tile.
    const std::int32_t lastI = tiling->countX - 1, lastJ = tiling->countY - 1;
    const std::string longest = objectPath(plan.name, lastI, lastJ);
    if (withLayout && longest.size() > MaxObjectPath) {
        report("Pfad zu lang: %s!\n", longest.c_str());
        return std::nullopt;
    }
    const std::string model = modelPath(plan.modelRoot, plan.name, lastI, lastJ);
    if (model.size() > maxPathLength()) {
        report("Pfad zu lang: %s!\n", model.c_str());
        return std::nullopt;
    }
    return plan;
}

// The generated layout: one object per tile, in tile order, placed at its
// centre point's spot (grid_placement.h), so that the tiles' vertices
// (relative to their centres) land where the height program and the preview
// look for their grid points; lowered by 1 m. The layout stores 32 bits: a
// spot beyond them keeps its low half, as it always has.
ObjectRecord tileObject(const RunPlan& plan, const Tile& tile, std::int16_t id) {
    const HeightSource& heights = *plan.heights;
    ObjectRecord obj;
    obj.id = id;
    obj.path = objectPath(plan.name, tile.i, tile.j);
    obj.position.x = static_cast<std::int32_t>(
        gridLineCm(tile.rect.centreX, heights.gridWidth, heights.pixelSize));
    obj.position.y = static_cast<std::int32_t>(
        gridLineCm(tile.rect.centreY, heights.gridHeight, heights.pixelSize));
    obj.position.z = -100;
    obj.direction = {1.0f, 0.0f, 0.0f};
    obj.param1 = 100;
    obj.param2 = 100;
    return obj;
}

// The rest of the generated layout: five standard cameras and its colour.
void finishGeneratedLayout(Layout& layout) {
    for (CameraRecord& camera : layout.cameras)
        camera.setDefault();
    layout.properties.colourA[0] = 204;
    layout.properties.colourA[1] = 230;
    layout.properties.colourA[2] = 255;
}

} // namespace

int generateTiles(const TerrainValues& terrain, const std::optional<std::string>& layoutPath,
                  const TileProgress& progress, GenerationOutcome* outcome) {
    GenerationOutcome ignored;
    GenerationOutcome& result = outcome ? *outcome : ignored;
    result = GenerationOutcome{};
    std::optional<RunPlan> planned = planRun(terrain, layoutPath.has_value());
    if (!planned) return 0;
    const RunPlan& plan = *planned;
    const Tiling& tiling = plan.tiling;

    if (layoutPath && !backUpUsersLayout(*layoutPath, plan.name, result.backupPath)) return 0;

    const std::string folder = plan.modelRoot + plan.name;
    if (!makeFolders(folder)) return report("Kann Ordner %s nicht anlegen!\n", folder.c_str());
    result.modelFolder = anchoredPath(folder);
    result.besideSettings = plan.modelRoot.empty();

    Layout layout;
    if (layoutPath) layout.objects.reserve(static_cast<std::size_t>(tiling.tileCount()));

    // The meshes are built ahead on the workers; this thread writes them
    // in tile order, reports, and keeps the progress.
    const std::int64_t total = tiling.tileCount();
    auto tileNumber = [&tiling](std::int64_t k) {
        return tiling.tile(static_cast<std::int32_t>(k / tiling.countY),
                           static_cast<std::int32_t>(k % tiling.countY));
    };
    TilePool pool(total, tileWorkers(),
                  [&](std::int64_t k, MeshModel& model, std::vector<std::uint8_t>& image) {
                      fillTileMesh(plan.mapping, model, *plan.colours, *plan.heights,
                                   tileNumber(k).rect);
                      model.serializeInto(image);
                  });
    for (std::int64_t done = 0; done < total; ++done) {
        const Tile tile = tileNumber(done);
        const std::vector<std::uint8_t>& image = pool.next();
        const std::string path = modelPath(plan.modelRoot, plan.name, tile.i, tile.j);
        // A full disk would fail every further tile the same way: the run
        // stops at the first, and the old layout stays. The workers stop
        // before the message waits for the user.
        if (replaceFile(path, image.data(), image.size(), Durability::Replaceable) !=
            WriteOutcome::Written) {
            pool.stop();
            result.modelsFailed = total - done;
            report("Fehler beim Schreiben von %s!\n%lld von %lld Kacheln nicht geschrieben.\n",
                   path.c_str(), static_cast<long long>(result.modelsFailed),
                   static_cast<long long>(total));
            return 0;
        }
        ++result.modelsWritten;
        result.modelBytes += image.size();
        if (layoutPath)
            layout.objects.push_back(
                tileObject(plan, tile, static_cast<std::int16_t>(layout.objects.size() + 1)));
        if (progress) progress(done + 1, total);
    }
    pool.stop();

    if (layoutPath) {
        finishGeneratedLayout(layout);
        if (!layout.save(*layoutPath)) result.layoutFailed = true;
    }
    return 1;
}
