// The operating-system calls behind the platform layer, one implementation
// per system (files_posix.cpp, files_win32.cpp). Paths here are already in
// the operating system's form (osPath).
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// True when the path names an existing folder.
bool isFolder(const std::string& path);

// The bytes of one staged file and the test's fault, if any.
struct Contents {
    const void* data = nullptr;
    std::size_t size = 0;
    WriteFault fault = WriteFault::None;
    std::size_t faultBytes = 0;
};
// The two steps of the safe replacement proper (see stageFile and
// commitStagedFile) and its check. stage fills the state only when it
// returns Written (the durability and moveFails are set by the caller);
// commit removes the temporary file when the move fails. The caller frees
// the handlers' slot after either.
WriteOutcome stage(const std::string& target, const Contents& contents, StagedFile::State& state);
WriteOutcome commit(const StagedFile::State& state);
WriteOutcome checkReplaceable(const std::string& target);

// The names of the files in a folder ("" is the current folder). False when
// it cannot be listed.
bool listFolder(const std::string& folder, std::vector<std::string>& names);
void removeFile(const std::string& path);

// --- shared by both systems (files.cpp) ---

// A path in the system's form cut after its last folder separator: folder
// (with the separator, or empty) and name.
void splitPath(const std::string& path, std::string& folder, std::string& name);

// A fresh temporary name for the file name: the name, ".zumt-tmp-" and six
// random characters, the name shortened so that the whole has at most
// maxName bytes.
std::string temporaryName(std::string_view name, std::size_t maxName);
// Removes the leftover temporary files of the file (folder + name), found
// by one listing of each folder per run.
void removeLeftovers(const std::string& folder, const std::string& name, std::size_t maxName);

// Told by changeFolder: relative folders name other folders from now on.
void currentFolderChanged();

// The temporary files staged, for the signal and console handlers: fixed
// buffers they may read at any moment (they must not allocate), one slot
// per staged file. takeCleanupSlot gives a free one or -1; armCleanup makes
// the handlers remove temp from then on (again for another name);
// releaseCleanupSlot stops that and frees the slot.
int takeCleanupSlot();
void armCleanup(int slot, const std::string& temp);
void releaseCleanupSlot(int slot);
// The path armed in the slot, or null; for the handlers only.
const char* armedTemporary(int slot);

// Waits until a signal ends the program (the Stalls fault).
[[noreturn]] void waitForever();

// Writes the data into an open temporary file with writeSome(bytes, count)
// -> count written or negative, applying the test's fault; true when every
// byte arrived.
template <typename WriteCall>
bool writeAll(const Contents& job, WriteCall&& writeSome) {
    const char* p = static_cast<const char*>(job.data);
    std::size_t left = job.size;
    const bool cut = job.fault == WriteFault::DiskFull || job.fault == WriteFault::Stalls;
    if (cut && job.faultBytes < left) left = job.faultBytes;
    while (left > 0) {
        const long n = writeSome(p, left);
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (job.fault == WriteFault::Stalls) waitForever();
    return job.fault != WriteFault::DiskFull || job.faultBytes >= job.size;
}

} // namespace sys
