#include "vorschau/entry.h"

#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/colour_source.h"
#include "raster/height_file.h"
#include "raster/height_source.h"
#include "settings/settings_file.h"
#include "vorschau/preview.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

// The picture must be named ".png" in any case of letters: a mistyped
// second argument such as the layout's own name must never be overwritten
// with a picture.
bool isPngName(const std::string& path) {
    std::optional<std::string> ext = extensionOf(path);
    if (!ext || ext->size() != 4) return false;
    const char* want = ".png";
    for (std::size_t k = 0; k < 4; ++k) {
        char c = (*ext)[k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != want[k]) return false;
    }
    return true;
}

// Puts the current folder back when the run ends, however it ends.
class FolderReturn {
  public:
    FolderReturn() : folder_(currentFolder()) {}
    ~FolderReturn() { back(); }
    FolderReturn(const FolderReturn&) = delete;
    FolderReturn& operator=(const FolderReturn&) = delete;
    void back() {
        if (!folder_.empty()) changeFolder(folder_);
    }

  private:
    std::string folder_;
};

} // namespace

int vorschauMain(int argc, char** argv, std::int32_t longSide) {
    if (argc < 2) return report("Aufruf: zumt_vorschau Anlage.danl [Bild.png]\n"), 1;

    // The settings and the layout are one pair of files that differ only in
    // the extension; either name will do.
    const std::string arg = argv[1];
    std::optional<std::string> ext = extensionOf(arg);
    if (ext != ".danl" && ext != ".anl") return report("Falscher Dateityp: %s!\n", arg.c_str()), 1;
    const std::string picture = argc >= 3 ? std::string(argv[2]) : withExtension(arg, ".png");
    if (!isPngName(picture))
        return report("Falscher Dateityp fuer Bild: %s!\n", picture.c_str()), 1;

    // A missing ".danl" is reported and the run stops at the missing "Hoehe".
    SettingsFile settings;
    if (settings.read(withExtension(arg, ".danl"), true) == SettingsFile::ReadResult::Refused)
        return 1;

    // The files the settings name lie beside the layout.
    FolderReturn startFolder;
    const PathSplit split = splitPath(withExtension(arg, ".anl"));
    if (!split.folder.empty()) changeFolder(split.folder);

    const TerrainValues terrain = readTerrainValues(settings);
    std::unique_ptr<HeightSource> heights = openHeightSource(terrain);
    if (!heights) return 1;
    // An unreadable file has been named by its reader.
    if (heights->gridWidth <= 0 || heights->gridHeight <= 0) return 1;

    // The colour bitmap is optional here: without one the heights are shown
    // on a colour ramp. One that is named must be what the generator takes.
    std::unique_ptr<ColourBitmap> colours;
    if (const std::optional<std::string>& colourFile = terrain.colourFile) {
        if (extensionOf(*colourFile) != ".bmp")
            return report("Falscher Dateityp fuer farbe: %s!\n", colourFile->c_str()), 1;
        colours = std::make_unique<ColourBitmap>(*colourFile, heights->pixelSize);
        if (colours->width == 0) return 1;
        if (colours->width != heights->gridWidth || colours->height != heights->gridHeight)
            return report("Groessen stimmen nicht überein!\n"), 1;
    }

    // The tiles as the generator cuts them; settings it would refuse are
    // refused here with its words.
    std::optional<Tiling> tiling = tilingOrReport(terrain, *heights);
    if (!tiling) return 1;

    // "hoehen.ini" is optional and silent, as for the height application.
    SettingsFile hoehenIni;
    if (hoehenIni.read("hoehen.ini", false) == SettingsFile::ReadResult::Refused) return 1;

    // The layout is optional too; one that is there must load.
    std::optional<Layout> layout;
    if (fileCanBeOpened(split.name)) {
        layout.emplace();
        if (layout->load(split.name) != LoadResult::Loaded) return 1;
    }

    PreviewScene scene;
    scene.heights = heights.get();
    scene.colours = colours.get();
    scene.mapping = terrainMapping(terrain, *heights);
    const auto defaultExtra = static_cast<float>(hoehenIni.getReal("Zumt", "DZ", 0.0f));
    scene.mapping.trackExtraCm =
        truncToInt32(hoehenIni.getReal("DZ", "Gleise", defaultExtra) * 100.0);
    // Heights that no layout can hold are refused as zumt_hoehen refuses them.
    if (!mappedHeightsFit(scene.mapping, *heights)) return 1;
    scene.tiling = tiling;
    scene.layout = layout ? &*layout : nullptr;
    const PictureFrame frame = framePicture(*heights, scene.layout, longSide);
    const PreviewPicture image = renderPreview(scene, frame);

    startFolder.back();
    return writePng(picture, image) ? 0 : 1;
}
