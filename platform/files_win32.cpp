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

// Ctrl-C, Ctrl-Break and a closed console remove the temporary files
// staged; the program then ends as it would have. A file being written is
// open with FILE_SHARE_DELETE, so the deletion goes through and takes effect
// when the ending program closes it.
BOOL WINAPI removeTemporary(DWORD) {
    for (int slot = 0; slot < MaxStagedFiles; ++slot)
        if (const char* temp = sys::armedTemporary(slot)) DeleteFileA(temp);
    return FALSE;
}

void installCleanupHandler() {
    static bool installed = false;
    if (!installed) installed = SetConsoleCtrlHandler(removeTemporary, TRUE) != 0;
}

// Why a path cannot be written or created, from GetLastError of the call.
WriteOutcome outcomeOf(DWORD error) {
    switch (error) {
    case ERROR_PATH_NOT_FOUND:
        return WriteOutcome::NoFolder;
    case ERROR_ACCESS_DENIED:
        return WriteOutcome::NoPermission;
    case ERROR_WRITE_PROTECT:
        return WriteOutcome::ReadOnly;
    default:
        return WriteOutcome::CannotOpen;
    }
}

// The full path of a replacement's target (ReplaceFile does not take every
// relative one, Wine's), its attributes (INVALID_FILE_ATTRIBUTES for none)
// and whether the user may replace it, without looking at its folder.
WriteOutcome examineTarget(const std::string& path, std::string& target, DWORD& attr) {
    char full[MAX_PATH + 1];
    const DWORD fullLength = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (fullLength == 0 || fullLength > MAX_PATH) return WriteOutcome::CannotOpen;
    target.assign(full, fullLength);
    attr = GetFileAttributesA(target.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) {
        // A missing folder shows when the temporary file is made.
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? WriteOutcome::Written
                   : outcomeOf(error);
    }
    // A read-only file is the user's way of saying "do not touch", even to
    // an administrator; otherwise the file's own rights decide.
    if (attr & FILE_ATTRIBUTE_DIRECTORY) return WriteOutcome::CannotOpen;
    if (attr & FILE_ATTRIBUTE_READONLY) return WriteOutcome::ReadOnly;
    HANDLE probe = CreateFileA(target.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return outcomeOf(GetLastError());
    CloseHandle(probe);
    return WriteOutcome::Written;
}

// A replacement's target as stage and checkReplaceable take it.
struct Target {
    std::string full; // the full path
    std::string folder, name;
    DWORD attr = INVALID_FILE_ATTRIBUTES;
};

// examineTarget, then the split; CannotOpen also when the path names no file.
WriteOutcome examineAndSplit(const std::string& path, Target& t) {
    if (WriteOutcome o = examineTarget(path, t.full, t.attr); o != WriteOutcome::Written) return o;
    sys::splitPath(t.full, t.folder, t.name);
    return t.name.empty() ? WriteOutcome::CannotOpen : WriteOutcome::Written;
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

WriteOutcome stage(const std::string& path, const Contents& contents, StagedFile::State& state) {
    Target t;
    if (WriteOutcome o = examineAndSplit(path, t); o != WriteOutcome::Written) return o;
    removeLeftovers(t.folder, t.name, MaxName);
    installCleanupHandler();
    const int slot = takeCleanupSlot();
    if (slot < 0) return WriteOutcome::CannotOpen;

    std::string temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD error = 0;
    for (int tries = 0;
         h == INVALID_HANDLE_VALUE && tries < 100 && contents.fault != WriteFault::CannotCreate;
         ++tries) {
        temp = t.folder + temporaryName(t.name, MaxName);
        armCleanup(slot, temp);
        h = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        error = GetLastError();
        if (h == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS) break;
    }
    if (h == INVALID_HANDLE_VALUE) {
        releaseCleanupSlot(slot);
        return error == ERROR_FILE_EXISTS ? WriteOutcome::CannotOpen : outcomeOf(error);
    }

    bool ok = writeAll(contents, [h](const char* p, std::size_t n) {
        const DWORD want = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
        DWORD got = 0;
        if (!WriteFile(h, p, want, &got, nullptr)) return -1L;
        return static_cast<long>(got);
    });
    // The fault hands the flush a handle that is no file's, so that the
    // real call fails.
    HANDLE syncHandle = contents.fault == WriteFault::SyncFails ? nullptr : h;
    if (ok && state.durability == Durability::Flushed && !FlushFileBuffers(syncHandle)) ok = false;
    if (!CloseHandle(h)) ok = false;
    if (!ok) {
        DeleteFileA(temp.c_str());
        releaseCleanupSlot(slot);
        return WriteOutcome::WriteFailed;
    }
    state.real = std::move(t.full);
    state.temp = std::move(temp);
    state.existed = t.attr != INVALID_FILE_ATTRIBUTES;
    state.attributes = t.attr;
    state.slot = slot;
    return WriteOutcome::Written;
}

WriteOutcome commit(const StagedFile::State& state) {
    // The fault takes the temporary file away: the real move must fail.
    if (state.moveFails) DeleteFileA(state.temp.c_str());
    const char* target = state.real.c_str();
    bool ok;
    // ReplaceFile gives the new file the old one's attributes, access rights
    // and creation time; a new file takes the folder's rights from the move.
    if (state.existed) {
        ok = ReplaceFileA(target, state.temp.c_str(), nullptr, 0, nullptr, nullptr) != 0;
        // Not every ReplaceFile carries the attributes over (Wine's does not).
        constexpr DWORD Kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                               FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD old = state.attributes;
        const DWORD now = ok ? GetFileAttributesA(target) : INVALID_FILE_ATTRIBUTES;
        if (now != INVALID_FILE_ATTRIBUTES && (now & Kept) != (old & Kept))
            SetFileAttributesA(target, (now & ~Kept) | (old & Kept));
    } else {
        ok = MoveFileExA(state.temp.c_str(), target, MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) DeleteFileA(state.temp.c_str());
    return ok ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

WriteOutcome checkReplaceable(const std::string& path) {
    Target t;
    if (WriteOutcome o = examineAndSplit(path, t); o != WriteOutcome::Written) return o;
    // Whether the folder takes a new file is for its rights to say, which
    // only the creation of one tells: an empty temporary file that goes when
    // it is closed, or when the program ends.
    HANDLE probe = INVALID_HANDLE_VALUE;
    DWORD error = ERROR_FILE_EXISTS;
    for (int tries = 0; probe == INVALID_HANDLE_VALUE && error == ERROR_FILE_EXISTS && tries < 100;
         ++tries) {
        probe = CreateFileA((t.folder + temporaryName(t.name, MaxName)).c_str(), GENERIC_WRITE,
                            FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        error = GetLastError();
    }
    if (probe == INVALID_HANDLE_VALUE) return outcomeOf(error);
    CloseHandle(probe);
    return WriteOutcome::Written;
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

bool readFileAt(std::FILE* f, std::uint64_t offset, void* out, std::size_t n, std::size_t& got) {
    got = 0;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    auto* to = static_cast<char*>(out);
    while (got < n) {
        // ReadFile takes a DWORD count; the offset goes in the OVERLAPPED
        // record, which on a handle opened for synchronous use reads there
        // and waits for the bytes.
        const std::uint64_t at = offset + got;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - got, 1u << 30));
        OVERLAPPED where = {};
        where.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD read = 0;
        if (!ReadFile(h, to + got, want, &read, &where)) return GetLastError() == ERROR_HANDLE_EOF;
        if (read == 0) return true;
        got += read;
    }
    return true;
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
