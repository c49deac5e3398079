#include "hoehen/entry.h"

#include "common/message.h"
#include "common/paths.h"
#include "hoehen/apply_heights.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "raster/height_source.h"
#include "settings/settings_file.h"

#include <cstdlib>
#include <cstring>
#include <memory>

int hoehenMain(int argc, char** argv) {
    // Without an argument there is nothing to do and nothing to say: the
    // program may be started from a file manager with no file at all.
    if (argc < 2) return 1;

    // Either file of the pair names the layout; anything else (a ".ter"
    // dropped on the program by mistake) must not be taken for one.
    const std::string arg = argv[1];
    const std::optional<std::string> ext = extensionOf(arg);
    if (ext != ".anl" && ext != ".danl") return report("Falscher Dateityp: %s!\n", arg.c_str()), 1;

    // The settings beside the layout; a missing file is reported and the
    // run goes on, to stop at the missing "Hoehe" below.
    SettingsFile settings;
    if (settings.read(withExtension(arg, ".danl"), true) == SettingsFile::ReadResult::Refused)
        return 1;

    // The layout's folder becomes the current folder: the height file,
    // "hoehen.ini" and the layout are opened relative to it.
    const PathSplit split = splitPath(withExtension(arg, ".anl"));
    if (!split.folder.empty()) changeFolder(split.folder);

    // The height file is opened relative to the layout's folder, which is
    // the current folder now. A file that cannot be read still gives a
    // source: its reader has said what is wrong, and the source is empty.
    const TerrainValues terrain = readTerrainValues(settings);
    std::unique_ptr<HeightSource> source = openHeightSource(terrain);
    if (!source) return 1;

    // Exit code 0 says that the layout was written, and nothing less: a
    // script that runs the program over many layouts relies on it.
    return applyHeights(terrain, split.name, *source) ? 0 : 1;
}
