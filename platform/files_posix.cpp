// POSIX implementation of the platform layer.
#include "platform/platform.h"
#include "platform/system.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void platformShowMessage(const std::string& text) {
    std::string line = std::string(MessageCaption) + ": " + terminalText(text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

bool platformIsWindows() {
    return false;
}

std::string osPath(std::string_view path) {
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

bool isFolderSeparator(char c) {
    return c == '\\' || c == '/';
}

namespace sys {

bool isReadOnlyFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE* createTempBeside(const std::string& target, std::string& tempPath) {
    tempPath = target + ".XXXXXX";
    int fd = mkstemp(tempPath.data());
    if (fd < 0) return nullptr;
    // mkstemp makes the file private; give it the target's mode, or for a
    // new file the mode an ordinary fopen would have given.
    struct stat st;
    mode_t mode;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        unlink(tempPath.c_str());
    }
    return f;
}

bool syncToDisk(std::FILE* f) {
    return fsync(fileno(f)) == 0;
}

bool moveOver(const std::string& temp, const std::string& target) {
    return rename(temp.c_str(), target.c_str()) == 0;
}

void removeFile(const std::string& path) {
    unlink(path.c_str());
}

} // namespace sys

bool changeFolder(std::string_view path) {
    return chdir(osPath(path).c_str()) == 0;
}

bool makeFolder(std::string_view path) {
    std::string p = osPath(path);
    if (mkdir(p.c_str(), 0777) == 0) return true;
    return errno == EEXIST && sys::isFolder(p);
}

bool makeFolders(std::string_view path) {
    std::string p = osPath(path);
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    if (p.empty() || sys::isFolder(p)) return true;
    for (std::size_t i = 1; i < p.size(); ++i) {
        if (p[i] == '/' && p[i - 1] != '/') {
            std::string part = p.substr(0, i);
            if (!sys::isFolder(part) && mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
                return false;
        }
    }
    return makeFolder(p);
}

bool openFileSize(std::FILE* f, std::uint64_t& size) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || st.st_size < 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

std::string currentFolder() {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return std::string();
    return buf;
}

std::optional<std::string> platformHostFolder() {
    const char* dir = std::getenv("ZUMT_HOST_DIR");
    if (!dir || !*dir) return std::nullopt;
    std::string folder = dir;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    return folder;
}

std::size_t maxPathLength() {
    return PATH_MAX - 1;
}
