// Win32 implementation of the platform layer.
#include "platform/platform.h"
#include "platform/system.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

void platformShowMessage(const std::string& text) {
    // The texts are Windows-1252 already, which is what the ANSI call takes.
    MessageBoxA(nullptr, text.c_str(), MessageCaption, MB_OK);
}

bool platformIsWindows() {
    return true;
}

std::string osPath(std::string_view path) {
    return std::string(path);
}

bool isFolderSeparator(char c) {
    return c == '\\';
}

namespace sys {

bool isReadOnlyFile(const std::string& path) {
    DWORD attr = GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || (attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return (attr & FILE_ATTRIBUTE_READONLY) != 0;
}

bool isFolder(const std::string& path) {
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::FILE* createTempBeside(const std::string& target, std::string& tempPath) {
    std::string folder = ".";
    std::size_t cut = target.find_last_of("\\/");
    if (cut != std::string::npos)
        folder = target.substr(0, cut + 1);
    else if (target.size() >= 2 && target[1] == ':')
        folder = target.substr(0, 2);
    char name[MAX_PATH + 1];
    if (GetTempFileNameA(folder.c_str(), "zmt", 0, name) == 0) return nullptr;
    tempPath = name;
    std::FILE* f = std::fopen(name, "wb");
    if (!f) DeleteFileA(name);
    return f;
}

bool syncToDisk(std::FILE* f) {
    return _commit(_fileno(f)) == 0;
}

bool moveOver(const std::string& temp, const std::string& target) {
    return MoveFileExA(temp.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

} // namespace sys

bool changeFolder(std::string_view path) {
    return _chdir(std::string(path).c_str()) == 0;
}

bool makeFolder(std::string_view path) {
    std::string p(path);
    if (_mkdir(p.c_str()) == 0) return true;
    return sys::isFolder(p);
}

bool makeFolders(std::string_view path) {
    std::string p(path);
    while (p.size() > 1 && (p.back() == '\\' || p.back() == '/'))
        p.pop_back();
    if (p.empty() || sys::isFolder(p)) return true;
    // Skip a drive ("C:") or the "\\server\share" head of a network path.
    std::size_t start = 1;
    if (p.size() >= 2 && p[1] == ':') start = 3;
    for (std::size_t i = start; i < p.size(); ++i) {
        if ((p[i] == '\\' || p[i] == '/') && p[i - 1] != '\\' && p[i - 1] != '/') {
            std::string part = p.substr(0, i);
            if (!sys::isFolder(part) && _mkdir(part.c_str()) != 0 && !sys::isFolder(part))
                return false;
        }
    }
    return makeFolder(p);
}

bool openFileSize(std::FILE* f, std::uint64_t& size) {
    // _filelengthi64, not ftell: a long is 32 bits on Windows.
    __int64 n = _filelengthi64(_fileno(f));
    if (n < 0) return false;
    size = static_cast<std::uint64_t>(n);
    return true;
}

std::string currentFolder() {
    char buf[MAX_PATH + 1];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    if (n == 0 || n > MAX_PATH) return std::string();
    return std::string(buf, n);
}

std::size_t maxPathLength() {
    return MAX_PATH - 1;
}
