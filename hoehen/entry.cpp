#include "hoehen/entry.h"

#include "common/message.h"
#include "common/numeric.h"
#include "hoehen/apply_heights.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "raster/height_source.h"
#include "settings/settings_file.h"

#include <cstdlib>
#include <cstring>
#include <memory>

LayoutPathSplit splitLayoutPath(const std::string& path) {
    LayoutPathSplit split;
    std::size_t cut = std::string::npos;
    for (std::size_t i = path.size(); i-- > 0;) {
        if (isFolderSeparator(path[i])) {
            cut = i;
            break;
        }
    }
    if (cut == std::string::npos) {
        split.name = path;
        return split;
    }
    split.folder = path.substr(0, cut);
    split.name = path.substr(cut + 1);
    // "C:" alone means the drive's current folder, not its root.
    if (split.folder.size() == 2 && split.folder[1] == ':') split.folder += path[cut];
    // "\Test.anl": the folder is the root itself.
    if (split.folder.empty()) split.folder = std::string(1, path[cut]);
    return split;
}

int hoehenMain(int argc, char** argv) {
    // 1. Without an argument there is nothing to do and nothing to say.
    if (argc < 2) return 1;

    // 2., 3. The extension runs from the last "." of the whole path, folders
    // included, to the end; it must be ".anl" or ".danl" exactly.
    std::string work = argv[1];
    std::size_t dot = work.rfind('.');
    if (dot == std::string::npos) return report("Falscher Dateityp: %s!\n", work.c_str()), 1;
    std::string ext = work.substr(dot);
    if (ext != ".anl" && ext != ".danl") return report("Falscher Dateityp: %s!\n", work.c_str()), 1;

    // 4. The settings beside the layout; a missing file is reported and the
    // run goes on, to stop at the missing "Hoehe" below.
    SettingsFile settings;
    work = work.substr(0, dot) + ".danl";
    if (settings.read(work, true) == SettingsFile::ReadResult::Refused) return 1;

    // 5., 6. The layout's folder becomes the current folder: the height file,
    // "hoehen.ini" and the layout are opened relative to it.
    work = work.substr(0, dot) + ".anl";
    LayoutPathSplit split = splitLayoutPath(work);
    if (!split.folder.empty()) changeFolder(split.folder);

    // 7. - 9. The height file and its kind.
    const std::string* heightFile = settings.find("Terrain1", "Hoehe");
    if (!heightFile) return report("[Terrain1]:Hoehe muss gesetzt sein!\n"), 1;
    // The height file is opened relative to the layout's folder, which is
    // the current folder now. A file that cannot be read still gives a
    // source: its reader has said what is wrong, and the source is empty.
    std::unique_ptr<HeightSource> source = openHeightSource(settings, *heightFile);
    if (!source) return 1;

    // 10. Exit code 0 says that the layout was written, and nothing less.
    const bool written = applyHeights(settings, split.name, *source);
    settings.clear();
    return written ? 0 : 1;
}
