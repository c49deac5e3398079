// The system's file names. The extension runs from the last "." of the
// whole text (folders included) to its end and is compared byte by byte, so
// "Daten.alt\Test" has the extension ".alt\Test" and ".BMP" is not ".bmp".
// Folders are separated by the backslash, on POSIX by the forward slash too.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The text from the last "." to the end; none when there is no ".".
std::optional<std::string> extensionOf(std::string_view path);

// The path with its extension replaced by ext: ".danl" and ".anl" name one
// pair of files. A path without "." gets ext appended.
std::string withExtension(std::string_view path, std::string_view ext);

// The split of a path at its last folder separator; folder is empty when the
// path has none. A folder that would be a bare drive ("C:") becomes that
// drive's root ("C:\"), and a path in the root folder ("\Test.anl",
// "/Test.anl") keeps the separator as its folder, so that a change to the
// folder goes where the file really lies.
struct PathSplit {
    std::string folder;
    std::string name;
};
PathSplit splitPath(std::string_view path);
