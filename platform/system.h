// The operating-system calls behind the platform layer, one implementation
// per system (files_posix.cpp, files_win32.cpp). Paths here are already in
// the operating system's form (osPath).
#pragma once

#include <cstdio>
#include <string>

namespace sys {

// True when the path names an existing file that is marked read-only
// (POSIX: no write bit at all in its mode; Windows: the read-only attribute).
bool isReadOnlyFile(const std::string& path);
// True when the path names an existing folder.
bool isFolder(const std::string& path);
// Creates a new, empty, uniquely named file in the folder of target and opens
// it for binary writing; its name goes to tempPath. Null on failure.
std::FILE* createTempBeside(const std::string& target, std::string& tempPath);
// Flushes the written data of an open file to the disk.
bool syncToDisk(std::FILE* f);
// Moves temp over target in one step, replacing target.
bool moveOver(const std::string& temp, const std::string& target);
void removeFile(const std::string& path);

} // namespace sys
