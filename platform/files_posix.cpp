// POSIX implementation of the platform layer.
#include "platform/platform.h"
#include "platform/system.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

void platformShowMessage(const std::string& text) {
    // The system's texts write paths with the host's backslash; here the
    // folder separator is '/', and a path is shown as the user types it.
    std::string shown = text;
    for (char& c : shown)
        if (c == '\\') c = '/';
    std::string line = std::string(MessageCaption) + ": " + terminalText(shown);
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

namespace {

constexpr std::size_t MaxName = NAME_MAX;

// Ctrl-C, kill and a closed terminal remove the temporary files staged,
// then end the program as the signal would have. A signal the program was
// started to ignore (nohup) stays ignored.
extern "C" void removeTemporaryAndDie(int sig) {
    const int saved = errno;
    for (int slot = 0; slot < MaxStagedFiles; ++slot)
        if (const char* temp = sys::armedTemporary(slot)) unlink(temp);
    errno = saved;
    raise(sig); // SA_RESETHAND: delivered with the default action on return
}

void installCleanupHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
        struct sigaction act = {};
        act.sa_handler = removeTemporaryAndDie;
        act.sa_flags = SA_RESETHAND;
        sigemptyset(&act.sa_mask);
        sigaction(sig, &act, nullptr);
    }
}

// Why a path cannot be written or created, from the errno of the call.
WriteOutcome outcomeOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return WriteOutcome::NoFolder;
    case EACCES:
    case EPERM:
        return WriteOutcome::NoPermission;
    case EROFS:
        return WriteOutcome::ReadOnly;
    default:
        return WriteOutcome::CannotOpen;
    }
}

// The file a path names once its symbolic links are followed (the path
// itself when it names no link). CannotOpen for a loop or an unreadable link;
// a missing file is no failure.
WriteOutcome followLinks(std::string& path, struct stat& st, bool& exists) {
    exists = false;
    for (int hops = 0; hops < 40; ++hops) {
        if (lstat(path.c_str(), &st) != 0)
            return errno == ENOENT ? WriteOutcome::Written : outcomeOf(errno);
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            return WriteOutcome::Written;
        }
        char buf[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return WriteOutcome::CannotOpen;
        std::string link(buf, static_cast<std::size_t>(n));
        if (link[0] != '/') {
            std::string folder, name;
            sys::splitPath(path, folder, name);
            link = folder + link;
        }
        path = std::move(link);
    }
    return WriteOutcome::CannotOpen;
}

// A file may be replaced only by someone who could write it in place: root
// included, whom the mode bits do not stop, so the read-only mode counts
// as a refusal of its own.
WriteOutcome mayWrite(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode)) return WriteOutcome::CannotOpen;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return WriteOutcome::ReadOnly;
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ETXTBSY ? WriteOutcome::CannotOpen : outcomeOf(errno);
    close(fd);
    return WriteOutcome::Written;
}

// A replacement's target as stage and checkReplaceable take it.
struct Target {
    std::string real; // with its links followed
    std::string folder, name;
    struct stat old {};
    bool exists = false;
};

// Follows the target's links, splits it and says whether the user may
// replace it (without looking at its folder); CannotOpen also when the path
// names no file.
WriteOutcome examineTarget(const std::string& path, Target& t) {
    t.real = path;
    WriteOutcome outcome = followLinks(t.real, t.old, t.exists);
    if (outcome == WriteOutcome::Written && t.exists) outcome = mayWrite(t.real, t.old);
    if (outcome != WriteOutcome::Written) return outcome;
    sys::splitPath(t.real, t.folder, t.name);
    return t.name.empty() ? WriteOutcome::CannotOpen : WriteOutcome::Written;
}

// Whether a new file in the folder can be given the old file's owner and
// group: as keepOwnerAndMode does it, by root, or by the owner into one of
// the owner's groups or the group the new file gets anyway.
bool ownerCanBeKept(const struct stat& old, const struct stat& folder) {
    if (geteuid() == 0) return true;
    if (old.st_uid != geteuid()) return false;
    const gid_t given = (folder.st_mode & S_ISGID) ? folder.st_gid : getegid();
    if (old.st_gid == given) return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    groups.resize(static_cast<std::size_t>(std::max(getgroups(count, groups.data()), 0)));
    return std::find(groups.begin(), groups.end(), old.st_gid) != groups.end();
}

// Gives the temporary file the old file's owner, group and mode (in this
// order: a change of owner clears the set-user-ID bits).
WriteOutcome keepOwnerAndMode(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not allowed, or not supported by the file system: fine as long as
        // the new file has them anyway.
        struct stat now;
        if (fstat(fd, &now) != 0 || now.st_uid != old.st_uid || now.st_gid != old.st_gid)
            return WriteOutcome::OwnerNotKept;
    }
    return fchmod(fd, old.st_mode & 07777) == 0 ? WriteOutcome::Written : WriteOutcome::WriteFailed;
}

// Flushes a folder's entries: the move of a file is durable only then. A
// file system that cannot flush folders says EINVAL; that is no failure.
bool syncFolder(const std::string& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0 || errno == EINVAL;
    close(fd);
    return ok;
}

} // namespace

namespace sys {

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool listFolder(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return false;
    while (const dirent* e = readdir(dir))
        names.emplace_back(e->d_name);
    closedir(dir);
    return true;
}

void removeFile(const std::string& path) {
    unlink(path.c_str());
}

[[noreturn]] void waitForever() {
    for (;;)
        pause();
}

WriteOutcome stage(const std::string& target, const Contents& contents, StagedFile::State& state) {
    // Per new file this costs one lstat, one exclusive creation with the
    // final mode (the umask applies, as it would to any new file), the
    // writes, close and, at the commit, the rename: the generator makes
    // thousands of them.
    Target t;
    if (WriteOutcome o = examineTarget(target, t); o != WriteOutcome::Written) return o;
    removeLeftovers(t.folder, t.name, MaxName);
    installCleanupHandlers();
    const int slot = takeCleanupSlot();
    if (slot < 0) return WriteOutcome::CannotOpen;

    std::string temp;
    int fd = -1;
    int error = 0;
    for (int tries = 0; fd < 0 && tries < 100 && contents.fault != WriteFault::CannotCreate;
         ++tries) {
        temp = t.folder + temporaryName(t.name, MaxName);
        armCleanup(slot, temp);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        error = errno;
        if (fd < 0 && error != EEXIST) break;
    }
    if (fd < 0) {
        releaseCleanupSlot(slot);
        return error == EEXIST ? WriteOutcome::CannotOpen : outcomeOf(error);
    }

    WriteOutcome outcome = t.exists ? keepOwnerAndMode(fd, t.old) : WriteOutcome::Written;
    if (outcome == WriteOutcome::Written) {
        const bool written = writeAll(contents, [fd](const char* p, std::size_t n) {
            ssize_t got;
            do {
                got = write(fd, p, n);
            } while (got < 0 && errno == EINTR);
            return static_cast<long>(got);
        });
        // The fault hands the flush a descriptor that is no file's, so that
        // the real call fails.
        const int syncFd = contents.fault == WriteFault::SyncFails ? -1 : fd;
        if (!written || (state.durability == Durability::Flushed && fsync(syncFd) != 0))
            outcome = WriteOutcome::WriteFailed;
    }
    if (close(fd) != 0 && outcome == WriteOutcome::Written) outcome = WriteOutcome::WriteFailed;
    if (outcome != WriteOutcome::Written) {
        unlink(temp.c_str());
        releaseCleanupSlot(slot);
        return outcome;
    }
    state.real = std::move(t.real);
    state.temp = std::move(temp);
    state.existed = t.exists;
    state.slot = slot;
    return WriteOutcome::Written;
}

WriteOutcome commit(const StagedFile::State& state) {
    // The fault takes the temporary file away: the real move must fail.
    if (state.moveFails) unlink(state.temp.c_str());
    if (rename(state.temp.c_str(), state.real.c_str()) != 0) {
        unlink(state.temp.c_str());
        return WriteOutcome::WriteFailed;
    }
    if (state.durability == Durability::Flushed) {
        std::string folder, name;
        splitPath(state.real, folder, name);
        if (!syncFolder(folder)) return WriteOutcome::WriteFailed;
    }
    return WriteOutcome::Written;
}

WriteOutcome checkReplaceable(const std::string& target) {
    Target t;
    if (WriteOutcome o = examineTarget(target, t); o != WriteOutcome::Written) return o;
    // The folder must take a new file: the temporary one.
    const char* dir = t.folder.empty() ? "." : t.folder.c_str();
    struct stat st;
    if (stat(dir, &st) != 0) return outcomeOf(errno);
    if (!S_ISDIR(st.st_mode)) return WriteOutcome::NoFolder;
    if (faccessat(AT_FDCWD, dir, W_OK | X_OK, AT_EACCESS) != 0)
        return errno == EROFS ? WriteOutcome::ReadOnly : WriteOutcome::NoPermission;
    if (t.exists && !ownerCanBeKept(t.old, st)) return WriteOutcome::OwnerNotKept;
    return WriteOutcome::Written;
}

} // namespace sys

std::FILE* openInputFile(std::string_view path, InputProblem& problem) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and
    // is refused below before anything is read from it.
    const int fd = open(osPath(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    problem = InputProblem::CannotOpen;
    if (fd < 0) return nullptr;
    if (fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode))
        problem = S_ISREG(st.st_mode) ? InputProblem::None : InputProblem::NotAFile;
    std::FILE* f = problem == InputProblem::None ? fdopen(fd, "rb") : nullptr;
    if (!f) {
        close(fd);
        if (problem == InputProblem::None) problem = InputProblem::CannotOpen;
        return nullptr;
    }
    return f;
}

bool pathExists(std::string_view path) {
    struct stat st;
    return lstat(osPath(path).c_str(), &st) == 0;
}

bool changeFolder(std::string_view path) {
    sys::currentFolderChanged();
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

bool readFileAt(std::FILE* f, std::uint64_t offset, void* out, std::size_t n, std::size_t& got) {
    got = 0;
    const int fd = fileno(f);
    auto* to = static_cast<char*>(out);
    while (got < n) {
        // An offset beyond what off_t holds is beyond every file.
        const std::uint64_t at = offset + got;
        if (at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return true;
        const ssize_t r = pread(fd, to + got, n - got, static_cast<off_t>(at));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) return true;
        got += static_cast<std::size_t>(r);
    }
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
