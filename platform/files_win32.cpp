// Win32 implementation of the platform layer.
#include "platform/platform.h"
#include "platform/system.h"

#include <algorithm>
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

namespace {

// The longest name of one folder entry (NTFS, FAT with long names).
constexpr std::size_t MaxName = 255;

// Ctrl-C, Ctrl-Break and a closed console remove the temporary file being
// written; the program then ends as it would have. The file is open with
// FILE_SHARE_DELETE, so the deletion goes through and takes effect when the
// ending program closes it.
BOOL WINAPI removeTemporary(DWORD) {
    if (const char* temp = sys::armedTemporary()) DeleteFileA(temp);
    return FALSE;
}

void installCleanupHandler() {
    static bool installed = false;
    if (!installed) installed = SetConsoleCtrlHandler(removeTemporary, TRUE) != 0;
}

} // namespace

namespace sys {

bool isFolder(const std::string& path) {
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool listFolder(const std::string& folder, std::vector<std::string>& names) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return false;
    do {
        names.emplace_back(found.cFileName);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    return true;
}

void removeFile(const std::string& path) {
    DeleteFileA(path.c_str());
}

[[noreturn]] void waitForever() {
    for (;;)
        Sleep(INFINITE);
}

WriteOutcome replace(const Replacement& job) {
    // The full path: ReplaceFile does not take every relative one (Wine).
    char full[MAX_PATH + 1];
    const DWORD fullLength = GetFullPathNameA(job.target.c_str(), sizeof full, full, nullptr);
    if (fullLength == 0 || fullLength > MAX_PATH) return WriteOutcome::CannotOpen;
    const std::string target(full, fullLength);
    const DWORD attr = GetFileAttributesA(target.c_str());
    const bool exists = attr != INVALID_FILE_ATTRIBUTES;
    // A read-only file is the user's way of saying "do not touch", even to
    // an administrator; otherwise the file's own rights decide.
    if (exists && (attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return WriteOutcome::CannotOpen;
    if (exists) {
        HANDLE probe = CreateFileA(target.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE) return WriteOutcome::CannotOpen;
        CloseHandle(probe);
    }

    std::string folder, name;
    splitPath(target, folder, name);
    if (name.empty()) return WriteOutcome::CannotOpen;
    removeLeftovers(folder, name, MaxName);
    installCleanupHandler();

    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int tries = 0;
         h == INVALID_HANDLE_VALUE && tries < 100 && job.fault != WriteFault::CannotCreate;
         ++tries) {
        temp = folder + temporaryName(name, MaxName);
        armCleanup(temp);
        h = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) disarmCleanup();
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) return WriteOutcome::CannotOpen;

    bool ok = writeAll(job, [h](const char* p, std::size_t n) {
        const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
        DWORD got = 0;
        if (!WriteFile(h, p, want, &got, nullptr)) return -1L;
        return static_cast<long>(got);
    });
    if (ok && job.durability == Durability::Flushed && !FlushFileBuffers(h)) ok = false;
    if (!CloseHandle(h)) ok = false;
    if (ok && job.fault == WriteFault::MoveFails) ok = false;
    // ReplaceFile gives the new file the old one's attributes, access rights
    // and creation time; a new file takes the folder's rights from the move.
    if (ok && exists) {
        ok = ReplaceFileA(target.c_str(), temp.c_str(), nullptr, 0, nullptr, nullptr) != 0;
        // Not every ReplaceFile carries the attributes over (Wine's does not).
        constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD now = ok ? GetFileAttributesA(target.c_str()) : attr;
        if (now != INVALID_FILE_ATTRIBUTES && (now & Kept) != (attr & Kept))
            SetFileAttributesA(target.c_str(), (now & ~Kept) | (attr & Kept));
    } else if (ok) {
        ok = MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) DeleteFileA(temp.c_str());
    disarmCleanup();
    return ok ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

} // namespace sys

std::FILE* openInputFile(std::string_view path, InputProblem& problem) {
    problem = InputProblem::CannotOpen;
    std::FILE* f = std::fopen(std::string(path).c_str(), "rb");
    if (!f) return nullptr;
    // "NUL", "CON", a pipe: only a file on a disk is read.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)))) != FILE_TYPE_DISK) {
        std::fclose(f);
        problem = InputProblem::NotAFile;
        return nullptr;
    }
    problem = InputProblem::None;
    return f;
}

bool pathExists(std::string_view path) {
    return GetFileAttributesA(std::string(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool changeFolder(std::string_view path) {
    sys::currentFolderChanged();
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
    // A drive or a network share can only be reached, never created; the
    // first character is skipped as well, so that "\a" does not try the
    // empty root.
    const std::size_t start = std::max<std::size_t>(1, uncreatableHeadLength(p));
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
