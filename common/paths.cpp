#include "common/paths.h"

#include "platform/platform.h"

std::optional<std::string> extensionOf(std::string_view path) {
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return std::string(path.substr(dot));
}

std::string withExtension(std::string_view path, std::string_view ext) {
    return std::string(path.substr(0, path.rfind('.'))) + std::string(ext);
}

PathSplit splitPath(std::string_view path) {
    PathSplit split;
    std::size_t cut = path.size();
    while (cut > 0 && !isFolderSeparator(path[cut - 1]))
        --cut;
    if (cut == 0) {
        split.name = path;
        return split;
    }
    const char separator = path[cut - 1];
    split.folder = path.substr(0, cut - 1);
    split.name = path.substr(cut);
    // "C:" alone means the drive's current folder, not its root.
    if (split.folder.size() == 2 && split.folder[1] == ':') split.folder += separator;
    // "\Test.anl": the folder is the root itself.
    if (split.folder.empty()) split.folder = std::string(1, separator);
    return split;
}
