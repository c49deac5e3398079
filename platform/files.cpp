// The portable half of the platform layer's file services: the safe
// replacement and the whole-file read. The operating-system calls live in
// files_posix.cpp and files_win32.cpp behind the small interface of
// platform/system.h.
#include "common/message.h"
#include "platform/platform.h"
#include "platform/system.h"

namespace {

WriteFault g_fault = WriteFault::None;
std::size_t g_faultBytes = 0;

WriteFault takeFault() {
    WriteFault f = g_fault;
    g_fault = WriteFault::None;
    return f;
}

} // namespace

void setWriteFaultForTesting(WriteFault fault, std::size_t faultBytes) {
    g_fault = fault;
    g_faultBytes = faultBytes;
}

std::FILE* openFile(std::string_view path, const char* mode) {
    return std::fopen(osPath(path).c_str(), mode);
}

bool readWholeFile(std::string_view path, std::vector<std::uint8_t>& out) {
    out.clear();
    std::FILE* f = openFile(path, "rb");
    if (!f) return false;
    // One request for the size the file tells, so that a large file is not
    // copied from block to growing block; the chunks after it take whatever
    // the size did not tell (a file that grew, a device without a size). A
    // told size beyond any real file (a folder can tell one) is no hint.
    constexpr long MaxSizeHint = 1L << 30;
    bool ok = true;
    long told = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        told = std::ftell(f);
        if (std::fseek(f, 0, SEEK_SET) != 0) ok = false;
    }
    if (ok && told > 0 && told <= MaxSizeHint) {
        out.resize(static_cast<std::size_t>(told));
        const std::size_t n = std::fread(out.data(), 1, out.size(), f);
        out.resize(n);
        if (n < static_cast<std::size_t>(told)) ok = !std::ferror(f);
    }
    std::uint8_t chunk[65536];
    while (ok && !std::feof(f)) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f);
        out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) ok = !std::ferror(f);
        if (n < sizeof chunk) break;
    }
    std::fclose(f);
    if (!ok) out.clear();
    return ok;
}

WriteOutcome replaceFile(std::string_view path, const void* data, std::size_t size,
                         Durability durability) {
    const std::string target = osPath(path);
    const WriteFault fault = takeFault();

    // A read-only file is the user's way of saying "do not touch": we look at
    // the attribute ourselves, since an administrator (or root) would be
    // allowed to replace it anyway.
    // An empty path names no file: opening it would fail, and so must this.
    if (target.empty() || sys::isReadOnlyFile(target) || sys::isFolder(target))
        return WriteOutcome::CannotOpen;

    std::string temp;
    std::FILE* f =
        fault == WriteFault::CannotCreate ? nullptr : sys::createTempBeside(target, temp);
    if (!f) return WriteOutcome::CannotOpen;

    bool ok = true;
    std::size_t toWrite = size;
    if (fault == WriteFault::DiskFull && g_faultBytes < size) toWrite = g_faultBytes;
    if (toWrite != 0 && std::fwrite(data, 1, toWrite, f) != toWrite) ok = false;
    if (toWrite != size) ok = false;
    if (ok && std::fflush(f) != 0) ok = false;
    if (ok && durability == Durability::Flushed && !sys::syncToDisk(f)) ok = false;
    if (std::fclose(f) != 0) ok = false;
    if (ok && fault == WriteFault::MoveFails) ok = false;
    if (ok) ok = sys::moveOver(temp, target);
    if (!ok) {
        sys::removeFile(temp);
        return WriteOutcome::WriteFailed;
    }
    return WriteOutcome::Written;
}

bool writeFileSafely(std::string_view path, const void* data, std::size_t size,
                     Durability durability) {
    const std::string shown(path);
    switch (replaceFile(path, data, size, durability)) {
    case WriteOutcome::Written:
        return true;
    case WriteOutcome::CannotOpen:
        return report("Can't open %s!\n", shown.c_str());
    case WriteOutcome::WriteFailed:
        break;
    }
    return report("Fehler beim Schreiben von %s!\n", shown.c_str());
}
