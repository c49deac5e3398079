#include "common/paths.h"

#include "platform/platform.h"

#include <algorithm>

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
    const std::size_t cut = nameOffset(path);
    if (cut == 0) {
        split.name = path;
        return split;
    }
    const char separator = path[cut - 1];
    split.folder = path.substr(0, cut - 1);
    split.name = path.substr(cut);
    // "C:" alone means the drive's current folder, not its root.
    if (split.folder.size() == 2 && hasDrive(split.folder)) split.folder += separator;
    // "\Test.anl": the folder is the root itself.
    if (split.folder.empty()) split.folder = std::string(1, separator);
    return split;
}

std::string anchoredPath(std::string_view path) {
    if (isAbsolutePath(path)) return std::string(path);
    std::string base = currentFolder();
    if (base.empty()) return std::string(path);
    if (!isFolderSeparator(base.back())) base += platformIsWindows() ? '\\' : '/';
    return base + std::string(path);
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = asciiLower(c);
    return lower;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::string lowerExtension(std::string_view path) {
    return asciiLower(extensionOf(path).value_or(""));
}
