// POSIX implementation of the platform layer.
#include "platform/platform.h"
#include "platform/system.h"
#include "platform/text.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Ctrl-C, kill and a closed terminal remove the temporary file being
// written, then end the program as the signal would have. A signal the
// program was started to ignore (nohup) stays ignored.
extern "C" void removeTemporaryAndDie(int sig) {
    const int saved = errno;
    if (const char* temp = sys::armedTemporary()) unlink(temp);
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

// The file a path names once its symbolic links are followed (the path
// itself when it names no link). False for a loop or an unreadable link.
bool followLinks(std::string& path, struct stat& st, bool& exists) {
    for (int hops = 0; hops < 40; ++hops) {
        if (lstat(path.c_str(), &st) != 0) {
            exists = false;
            return errno == ENOENT;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            return true;
        }
        char buf[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return false;
        std::string link(buf, static_cast<std::size_t>(n));
        if (link[0] != '/') {
            std::string folder, name;
            sys::splitPath(path, folder, name);
            link = folder + link;
        }
        path = std::move(link);
    }
    return false;
}

// A file may be replaced only by someone who could write it in place: root
// included, whom the mode bits do not stop, so the read-only mode counts
// as a refusal of its own.
bool mayWrite(const std::string& path, const struct stat& st) {
    if (!S_ISREG(st.st_mode) || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
    return true;
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

WriteOutcome replace(const Replacement& job) {
    // Per new file this costs one lstat, one exclusive creation with the
    // final mode (the umask applies, as it would to any new file), the
    // writes, close and rename: the generator makes thousands of them.
    std::string real = job.target;
    struct stat old;
    bool exists = false;
    if (!followLinks(real, old, exists)) return WriteOutcome::CannotOpen;
    if (exists && !mayWrite(real, old)) return WriteOutcome::CannotOpen;

    std::string folder, name;
    splitPath(real, folder, name);
    if (name.empty()) return WriteOutcome::CannotOpen;
    removeLeftovers(folder, name, MaxName);
    installCleanupHandlers();

    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100 && job.fault != WriteFault::CannotCreate; ++tries) {
        temp = folder + temporaryName(name, MaxName);
        armCleanup(temp);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0) disarmCleanup();
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return WriteOutcome::CannotOpen;

    WriteOutcome outcome = exists ? keepOwnerAndMode(fd, old) : WriteOutcome::Written;
    if (outcome == WriteOutcome::Written) {
        const bool written = writeAll(job, [fd](const char* p, std::size_t n) {
            ssize_t got;
            do {
                got = write(fd, p, n);
            } while (got < 0 && errno == EINTR);
            return static_cast<long>(got);
        });
        if (!written || (job.durability == Durability::Flushed && fsync(fd) != 0))
            outcome = WriteOutcome::WriteFailed;
    }
    if (close(fd) != 0 && outcome == WriteOutcome::Written) outcome = WriteOutcome::WriteFailed;
    if (outcome == WriteOutcome::Written &&
        (job.fault == WriteFault::MoveFails || rename(temp.c_str(), real.c_str()) != 0))
        outcome = WriteOutcome::WriteFailed;
    if (outcome != WriteOutcome::Written) unlink(temp.c_str());
    disarmCleanup();
    if (outcome == WriteOutcome::Written && job.durability == Durability::Flushed &&
        !syncFolder(folder))
        outcome = WriteOutcome::WriteFailed;
    return outcome;
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
