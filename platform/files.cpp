// The portable half of the platform layer's file services: the whole-file
// read, the safe replacement's entries (one file, or a set in two steps)
// and the naming and clean-up of its temporary files. The operating-system
// calls live in files_posix.cpp and files_win32.cpp behind the small
// interface of platform/system.h.
#include "platform/platform.h"
#include "platform/system.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <utility>

namespace {

WriteFault g_fault = WriteFault::None;
std::size_t g_faultBytes = 0;

constexpr std::string_view TempMark = ".zumt-tmp-";
constexpr std::size_t RandomChars = 6;

// The leftover temporary files found by the one listing of each folder:
// folder -> their names.
std::map<std::string, std::vector<std::string>> g_leftovers;
// The current folder while it is known to be unchanged (a relative folder
// names another one after every change).
std::string g_currentFolder;

// The temporary files staged. The handlers read them while the program may
// be anywhere, so each is a fixed buffer behind a flag that is set only while
// the buffer holds a whole path. Whether a slot is taken is the writing
// thread's own business.
char g_armedPaths[MaxStagedFiles][4096];
volatile std::sig_atomic_t g_armed[MaxStagedFiles] = {};
bool g_slotTaken[MaxStagedFiles] = {};

} // namespace

void setWriteFaultForTesting(WriteFault fault, std::size_t faultBytes) {
    g_fault = fault;
    g_faultBytes = faultBytes;
}

bool hasDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':';
}

bool isAbsolutePath(std::string_view path) {
    return (!path.empty() && isFolderSeparator(path[0])) || hasDrive(path);
}

std::size_t nameOffset(std::string_view path) {
    std::size_t cut = path.size();
    while (cut > 0 && !isFolderSeparator(path[cut - 1]))
        --cut;
    return cut;
}

bool folderExists(std::string_view path) {
    return sys::isFolder(osPath(path));
}

bool fileCanBeOpened(std::string_view path) {
    InputProblem problem;
    std::FILE* f = openInputFile(path, problem);
    if (!f) return problem == InputProblem::NotAFile;
    std::fclose(f);
    return true;
}

InputProblem readWholeFile(std::string_view path, std::vector<std::uint8_t>& out,
                           std::uint64_t maxBytes) {
    out.clear();
    InputProblem problem = InputProblem::None;
    std::FILE* f = openInputFile(path, problem);
    if (!f) return problem;
    // One request for the size the file tells, so that a large file is not
    // copied from block to growing block; the chunks after it take whatever
    // the size did not tell (a file that grew meanwhile), up to the limit.
    std::uint64_t told = 0;
    if (!openFileSize(f, told))
        problem = InputProblem::ReadFailed;
    else if (told > maxBytes)
        problem = InputProblem::TooLarge;
    if (problem == InputProblem::None && told > 0) {
        out.resize(static_cast<std::size_t>(told));
        const std::size_t n = std::fread(out.data(), 1, out.size(), f);
        out.resize(n);
        if (n < told && std::ferror(f)) problem = InputProblem::ReadFailed;
    }
    std::uint8_t chunk[65536];
    while (problem == InputProblem::None && !std::feof(f)) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (out.size() + n > maxBytes)
            problem = InputProblem::TooLarge;
        else
            out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            if (std::ferror(f)) problem = InputProblem::ReadFailed;
            break;
        }
    }
    std::fclose(f);
    if (problem != InputProblem::None) out.clear();
    return problem;
}

namespace sys {

void splitPath(const std::string& path, std::string& folder, std::string& name) {
    // Windows hands this full paths (GetFullPathName: backslashes only, and
    // a drive's colon always before one), which the entry points' rule
    // splits as the system does. On POSIX the path is in the system's form:
    // osPath has turned the user's backslashes into '/', and one that is
    // left (from a link's target) is part of a name.
    const std::size_t slash = path.rfind('/');
    const std::size_t cut =
        platformIsWindows() ? nameOffset(path) : (slash == std::string::npos ? 0 : slash + 1);
    folder = path.substr(0, cut);
    name = path.substr(cut);
}

std::string temporaryName(std::string_view name, std::size_t maxName) {
    // No secret: the exclusive creation makes a clash merely a second try.
    static std::uint64_t state =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        reinterpret_cast<std::uintptr_t>(&state);
    const std::size_t room = maxName - TempMark.size() - RandomChars;
    std::string temp(name.substr(0, room));
    temp += TempMark;
    for (std::size_t i = 0; i < RandomChars; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        temp += "abcdefghijklmnopqrstuvwxyz0123456789"[state % 36];
    }
    return temp;
}

void currentFolderChanged() {
    g_currentFolder.clear();
}

void removeLeftovers(const std::string& folder, const std::string& name, std::size_t maxName) {
    std::string key = folder;
    if (!isAbsolutePath(folder)) {
        if (g_currentFolder.empty()) g_currentFolder = currentFolder() + '/';
        key = g_currentFolder + folder;
    }
    auto listed = g_leftovers.find(key);
    if (listed == g_leftovers.end()) {
        std::vector<std::string> names, ours;
        listFolder(folder, names);
        for (std::string& n : names)
            if (n.find(TempMark) != std::string::npos) ours.push_back(std::move(n));
        listed = g_leftovers.emplace(key, std::move(ours)).first;
    }
    std::vector<std::string>& leftovers = listed->second;
    const std::string stem =
        name.substr(0, maxName - TempMark.size() - RandomChars) + std::string(TempMark);
    for (std::size_t i = 0; i < leftovers.size();) {
        const std::string& n = leftovers[i];
        if (n.size() == stem.size() + RandomChars && n.compare(0, stem.size(), stem) == 0) {
            removeFile(folder + n);
            leftovers.erase(leftovers.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

int takeCleanupSlot() {
    for (int i = 0; i < MaxStagedFiles; ++i)
        if (!g_slotTaken[i]) {
            g_slotTaken[i] = true;
            return i;
        }
    return -1;
}

void armCleanup(int slot, const std::string& temp) {
    g_armed[slot] = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    char* buffer = g_armedPaths[slot];
    const std::size_t n = std::min(temp.size(), sizeof g_armedPaths[slot] - 1);
    std::memcpy(buffer, temp.data(), n);
    buffer[n] = '\0';
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_armed[slot] = temp.size() < sizeof g_armedPaths[slot];
}

void releaseCleanupSlot(int slot) {
    if (slot < 0) return;
    g_armed[slot] = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    g_slotTaken[slot] = false;
}

const char* armedTemporary(int slot) {
    return g_armed[slot] ? g_armedPaths[slot] : nullptr;
}

} // namespace sys

StagedFile::StagedFile(StagedFile&& other) noexcept : state_(std::move(other.state_)) {
    other.state_ = State();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        discardStagedFile(*this);
        state_ = std::move(other.state_);
        other.state_ = State();
    }
    return *this;
}

StagedFile::~StagedFile() {
    discardStagedFile(*this);
}

WriteOutcome stageFile(std::string_view path, const void* data, std::size_t size,
                       Durability durability, StagedFile& out) {
    discardStagedFile(out);
    const sys::Contents contents{data, size, g_fault, g_faultBytes};
    g_fault = WriteFault::None;
    // An empty path names no file: opening it would fail, and so must this.
    const std::string target = osPath(path);
    if (target.empty()) return WriteOutcome::CannotOpen;
    StagedFile::State& state = out.state_;
    state.durability = durability;
    state.moveFails = contents.fault == WriteFault::MoveFails;
    const WriteOutcome outcome = sys::stage(target, contents, state);
    if (outcome != WriteOutcome::Written) state = StagedFile::State();
    return outcome;
}

WriteOutcome commitStagedFile(StagedFile& file) {
    if (!file.isStaged()) return WriteOutcome::WriteFailed;
    const WriteOutcome outcome = sys::commit(file.state_);
    sys::releaseCleanupSlot(file.state_.slot);
    file.state_ = StagedFile::State();
    return outcome;
}

void discardStagedFile(StagedFile& file) {
    if (!file.isStaged()) return;
    sys::removeFile(file.state_.temp);
    sys::releaseCleanupSlot(file.state_.slot);
    file.state_ = StagedFile::State();
}

WriteOutcome checkReplaceable(std::string_view path) {
    const std::string target = osPath(path);
    if (target.empty()) return WriteOutcome::CannotOpen;
    return sys::checkReplaceable(target);
}

WriteOutcome replaceFile(std::string_view path, const void* data, std::size_t size,
                         Durability durability) {
    StagedFile file;
    const WriteOutcome outcome = stageFile(path, data, size, durability, file);
    return outcome == WriteOutcome::Written ? commitStagedFile(file) : outcome;
}

std::size_t uncreatableHeadLength(std::string_view path) {
    auto separator = [](char c) { return c == '\\' || c == '/'; };
    if (hasDrive(path)) return std::min<std::size_t>(path.size(), 3);
    if (path.size() < 2 || !separator(path[0]) || !separator(path[1])) return 0;
    // Past the server name, then past the share name and its separator.
    std::size_t i = 2;
    for (int part = 0; part < 2; ++part) {
        while (i < path.size() && !separator(path[i]))
            ++i;
        if (i == path.size()) return i;
        ++i;
    }
    return i;
}
