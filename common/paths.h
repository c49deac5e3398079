// The system's file names. The extension runs from the last "." of the
// whole text (folders included) to its end and is compared byte by byte, so
// "Daten.alt\Test" has the extension ".alt\Test" and ".BMP" is not ".bmp".
// Folders are separated by the backslash, on POSIX by the forward slash too.
//
// Where each rule lives: the folder separator, the drive and absolute-path
// tests and where the last part of a path begins are in platform/platform.h
// (isFolderSeparator, hasDrive, isAbsolutePath, nameOffset), since the
// platform's own file services need them; everything built on them is here.
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

// The path as seen from the current folder: an absolute path as it is; any
// other with the current folder and a separator ('\' on Windows, '/' on
// POSIX) before it. As it is, too, when the current folder cannot be told.
std::string anchoredPath(std::string_view path);

// Letters in ASCII lower case, everything else as it is: for names and
// keywords whose case does not count. The C library's tolower would follow
// the locale, and a Windows-1252 letter is no ASCII letter.
char asciiLower(char c);
std::string asciiLower(std::string_view text);
// True when the texts differ at most in the case of ASCII letters.
bool sameIgnoringCase(std::string_view a, std::string_view b);

// The extension (extensionOf) in ASCII lower case, "" when there is none:
// for the names whose case does not count, such as pictures (".PNG").
std::string lowerExtension(std::string_view path);
