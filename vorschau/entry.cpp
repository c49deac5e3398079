#include "vorschau/entry.h"

#include "common/message.h"
#include "common/paths.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "raster/layout_pair.h"
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
    return lowerExtension(path) == ".png";
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

// "--kacheln" and "--ohne-kacheln", anywhere, taken out of the arguments;
// the last one counts.
TileDrawing takeTileOption(int& argc, char** argv) {
    TileDrawing drawing = TileDrawing::Automatic;
    int kept = 1;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--kacheln")
            drawing = TileDrawing::Outlines;
        else if (arg == "--ohne-kacheln")
            drawing = TileDrawing::CountOnly;
        else
            argv[kept++] = argv[k];
    }
    argc = kept;
    argv[argc] = nullptr;
    return drawing;
}

} // namespace

int vorschauMain(int argc, char** argv, std::int32_t longSide) {
    const TileDrawing tileDrawing = takeTileOption(argc, argv);
    if (argc < 2) {
        report("Aufruf: zumt_vorschau Anlage.danl [Bild.png]\n");
        return 1;
    }

    // The settings and the layout are one pair of files that differ only in
    // the extension; either name will do. A wrong one is refused first (by
    // openLayoutPair), a wrong picture name before anything is read.
    const std::string arg = argv[1];
    const std::string picture = argc >= 3 ? std::string(argv[2]) : withExtension(arg, ".png");
    if (namesLayoutPair(arg) && !isPngName(picture)) {
        report("Falscher Dateityp fuer Bild: %s!\n", picture.c_str());
        return 1;
    }

    // The files the settings name lie beside the layout; the picture path is
    // the start folder's.
    FolderReturn startFolder;
    std::optional<LayoutPair> pair = openLayoutPair(arg);
    if (!pair) return 1;
    const TerrainValues& terrain = pair->terrain;
    const HeightSource& heights = *pair->heights;
    // An unreadable file has been named by its reader.
    if (heights.gridWidth <= 0 || heights.gridHeight <= 0) return 1;

    // The colour bitmap is optional here: without one the heights are shown
    // on a colour ramp. One that is named must be what the generator takes.
    std::unique_ptr<ColourBitmap> colours;
    if (const std::optional<std::string>& colourFile = terrain.colourFile) {
        colours = openColourBitmap(*colourFile, heights);
        if (!colours) return 1;
    }

    // The tiles as the generator cuts them; settings it would refuse are
    // refused here with its words.
    std::optional<Tiling> tiling = tilingOrReport(terrain, heights);
    if (!tiling) return 1;

    // "hoehen.ini" is optional and silent, as for the height application.
    HeightExtras extras;
    if (!extras.read()) return 1;

    // The layout is optional too; one that is there must load.
    std::optional<Layout> layout;
    if (fileCanBeOpened(pair->layoutName)) {
        layout.emplace();
        if (layout->load(pair->layoutName) != LoadResult::Loaded) return 1;
    }

    PreviewScene scene;
    scene.heights = &heights;
    scene.colours = colours.get();
    scene.mapping = terrainMapping(terrain, heights);
    scene.mapping.trackExtraCm = extras.trackExtraCm();
    // Heights that no layout can hold are refused as zumt_hoehen refuses them.
    if (!mappedHeightsFit(scene.mapping, heights)) return 1;
    scene.tiling = tiling;
    scene.tileDrawing = tileDrawing;
    scene.layout = layout ? &*layout : nullptr;
    const PictureFrame frame = framePicture(heights, scene.layout, longSide);
    const PreviewPicture image = renderPreview(scene, frame);

    startFolder.back();
    return writePng(picture, image) ? 0 : 1;
}
