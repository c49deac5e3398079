// The system's file names: the extension runs from the last "." of the
// whole text (folders included) to its end and is compared byte by byte, so
// "Daten.alt\Test" has the extension ".alt\Test" and ".BMP" is not ".bmp".
#pragma once

#include <optional>
#include <string>
#include <string_view>

inline std::optional<std::string> extensionOf(std::string_view path) {
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return std::string(path.substr(dot));
}
