// The platform layer: the few operating-system services the system needs,
// one interface with a Win32 and a POSIX implementation chosen at build time.
//
// Paths are the system's own texts: the backslash is its folder separator.
// On POSIX every path handed to the operating system has its backslashes
// turned into '/' first (osPath); on Windows paths pass unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Shows a text in a message box captioned "Vodudad Avar" (Windows, no owner,
// OK button) or writes "Vodudad Avar: " and the text to standard error
// (POSIX, converted from Windows-1252 to UTF-8 for the terminal).
void platformShowMessage(const std::string& text);

// The caption of every message of the system.
inline constexpr const char* MessageCaption = "Vodudad Avar";

// True on the Windows build.
bool platformIsWindows();

// The path as the operating system wants it (see above).
std::string osPath(std::string_view path);

// True when c separates folders in a path given to the entry points: the
// backslash everywhere, and on POSIX the forward slash as well.
bool isFolderSeparator(char c);

// The path rules below the folder split of common/paths.h, here because the
// platform's own file services need them too and the platform uses nothing
// of common/:
//   hasDrive        the path starts with a drive ("C:"): its second
//                   character is a colon
//   isAbsolutePath  the path does not depend on the current folder: it
//                   starts with a folder separator or a drive ("C:x" counts,
//                   as the system has always taken it)
//   nameOffset      where the last part of a path begins: just after its
//                   last folder separator, 0 when it has none
bool hasDrive(std::string_view path);
bool isAbsolutePath(std::string_view path);
std::size_t nameOffset(std::string_view path);

// Why an input file could not be read. Only regular files are read: a
// device (/dev/zero never ends), a FIFO (it waits for a writer) or a folder
// is refused before anything is read from it, and without waiting. The
// caller says what happened (common/file_messages.h).
enum class InputProblem {
    None,
    CannotOpen, // missing, not readable, or a folder
    NotAFile,   // a device, FIFO or socket
    TooLarge,   // beyond what the format can hold
    ReadFailed, // a read error
};

// Opens a regular file for binary reading. Null, with the problem, otherwise.
std::FILE* openInputFile(std::string_view path, InputProblem& problem);

// True when the file can be opened, or when something that is no file (a
// FIFO, a device) is there in its place: the reader refuses that by name.
bool fileCanBeOpened(std::string_view path);

// True when something (a file, a folder, a link, a device) has this name,
// whether or not it can be read: a settings file that exists but cannot be
// read must not be taken for a new one.
bool pathExists(std::string_view path);

// True when the path names an existing folder (links followed).
bool folderExists(std::string_view path);

// The size in bytes of an open file as the file system reports it (not the
// stream position; 64 bits on every system). False when it cannot be told.
bool openFileSize(std::FILE* f, std::uint64_t& size);

// Positional read of an open input file: up to n bytes from offset on into
// out, how many arrived in got (fewer only at the end of the file). Neither
// uses nor moves the stream's position, so a file is read at any offset
// without a seek. False when the system reports a read error.
bool readFileAt(std::FILE* f, std::uint64_t offset, void* out, std::size_t n, std::size_t& got);

// Reads a whole regular file of at most maxBytes bytes. Leaves out empty on
// any problem; shows nothing.
InputProblem readWholeFile(std::string_view path, std::vector<std::uint8_t>& out,
                           std::uint64_t maxBytes);
// The same for a file whose format sets no smaller bound: at most 1 GiB.
inline bool readWholeFile(std::string_view path, std::vector<std::uint8_t>& out) {
    return readWholeFile(path, out, std::uint64_t{1} << 30) == InputProblem::None;
}

// Safe replacement: writes the bytes to a temporary file beside the target,
// checks every write, flushes them to the disk and then moves the temporary
// file over the target in one step. Readers see the old file or the new one,
// never a mix. A failure leaves any old file exactly as it was; the outcome
// says which step failed and nothing is shown (common/file_messages.h has
// the messages):
//   CannotOpen    the target or its temporary cannot be created for a reason
//                 not below (a folder in the target's place, a file in use,
//                 a name the system refuses, an empty path);
//   ReadOnly      the target is read-only (no write bit in its mode, the
//                 read-only attribute, a read-only file system);
//   NoPermission  the user may not write the target or create a file in its
//                 folder (another user's file, the folder's rights);
//   NoFolder      the folder of the target does not exist (or a file stands
//                 where a folder of the path should be);
//   WriteFailed   a write, flush or the final move failed;
//   OwnerNotKept  the old file's owner or group could not be given to the
//                 new one.
//
// What the user set on the old file stays: its mode, owner and group (POSIX),
// its attributes and access rights (Windows); a new file gets what the folder
// gives. A symbolic link stays a link: the file it points to is replaced. A
// hard link does not survive: the name gets a new file, the other names keep
// the old one.
//
// The temporary file is "<name>.zumt-tmp-XXXXXX" (the name shortened when the
// whole would not fit the system's limit for one name). Leftovers of that
// kind, from a run that was killed, are removed by the next write of the same
// file; Ctrl-C and the termination signals (the console's close and Ctrl-C
// events on Windows) remove every one that is staged.
//
// The user's own files (layouts, settings) are flushed to the disk before
// the move and the folder after it, so that a power cut leaves either the
// old or the new file. Generated models, thousands of them per run and remade
// by the next run, skip that wait (Durability::Replaceable): the move still
// never exposes a half-written file to a running program.
//
// Not for several threads at once: one thread writes the files.
enum class Durability { Flushed, Replaceable };
enum class WriteOutcome {
    Written,
    CannotOpen,
    ReadOnly,
    NoPermission,
    NoFolder,
    WriteFailed,
    OwnerNotKept,
};
[[nodiscard]] WriteOutcome replaceFile(std::string_view path, const void* data, std::size_t size,
                                       Durability durability);

// The same in two steps, for a set of files that changes as one: stage every
// file, and commit them one after the other only when all are staged. A
// failure while staging replaces nothing: the files staged so far are
// discarded (their destructors do it). A failure of one commit leaves that
// target as it was; the ones committed before it stay new.
//
// A staged file is complete in its temporary file beside the target (flushed
// for Durability::Flushed) and the old file is untouched. At most
// MaxStagedFiles are staged at once: the signal and console handlers hold
// their temporary paths in fixed buffers; one more is refused (CannotOpen).
inline constexpr int MaxStagedFiles = 8;

class StagedFile {
  public:
    StagedFile() = default;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    // Discards a temporary file that was never committed.
    ~StagedFile();

    // True from a successful stageFile until its commit or discard.
    bool isStaged() const { return !state_.temp.empty(); }

    // What the platform keeps between the two steps.
    struct State {
        std::string real; // the file replaced: links followed (POSIX), the full path (Windows)
        std::string temp; // the temporary file; empty when nothing is staged
        Durability durability = Durability::Flushed;
        bool existed = false;         // an old file is there to be replaced
        std::uint32_t attributes = 0; // the old file's attributes (Windows)
        int slot = -1;                // the handlers' buffer that holds temp
        bool moveFails = false;       // the test's fault for the move
    };

  private:
    State state_;
    friend WriteOutcome stageFile(std::string_view, const void*, std::size_t, Durability,
                                  StagedFile&);
    friend WriteOutcome commitStagedFile(StagedFile&);
    friend void discardStagedFile(StagedFile&);
};

// The first step: checks the target as replaceFile does and writes the bytes
// into the temporary file. out is discarded first if it holds a staged file.
[[nodiscard]] WriteOutcome stageFile(std::string_view path, const void* data, std::size_t size,
                                     Durability durability, StagedFile& out);
// The second step: the move over the target (Windows: ReplaceFileA over an
// old file, MoveFileExA to a new name), then, for Durability::Flushed, the
// flush of the folder (POSIX). On failure the old file is as it was and the
// temporary file is gone. Either way the file is no longer staged; one that
// was not staged gives WriteFailed.
[[nodiscard]] WriteOutcome commitStagedFile(StagedFile& file);
// Removes the temporary file; nothing when nothing is staged.
void discardStagedFile(StagedFile& file);

// Whether the target could be replaced now, with the outcome stageFile would
// give for it, writing nothing: the folder exists and takes a new file, and
// the target, if there is one (links followed), is a regular file the user
// may write and whose owner and group the new file can get. A disk that
// fills up shows only in the write.
[[nodiscard]] WriteOutcome checkReplaceable(std::string_view path);

// Change of the current folder; creation of one folder; creation of a folder
// with all its missing parents. Return true on success (an existing folder
// counts as success for the two creations).
bool changeFolder(std::string_view path);
bool makeFolder(std::string_view path);
bool makeFolders(std::string_view path);
// How much of the start of a path names a place that cannot be created, only
// reached: the drive and its separator ("C:\" gives 3) or the server and
// share of a network path ("\\server\share\" up to and including the
// separator after the share; the whole text when nothing follows it).
// makeFolders creates folders from there on. Backslash and forward slash.
std::size_t uncreatableHeadLength(std::string_view path);

// The console of a command-line program. standardOutputIsTerminal: standard
// output goes to a terminal or console window, not into a file or a pipe
// (progress lines are for people, not for logs). ownsConsoleWindow: the
// console window was opened for this program alone, as when it is started
// from Explorer or by dropping files onto it, and closes with it (Windows;
// always false on POSIX). waitForKey: waits until a key is pressed.
// On Windows a console is a character device whose console mode can be
// read (the NUL device is a character device too, and no console).
bool standardOutputIsTerminal();
// For tests: standardOutputIsTerminal answers forced until it is reset
// with none.
void setStandardOutputTerminalForTesting(std::optional<bool> forced);
bool ownsConsoleWindow();
void waitForKey();

// The longest path the file functions of the platform accept, in bytes
// without the terminating zero (Windows' ANSI calls: 259).
std::size_t maxPathLength();

// The current folder (for tests and diagnostics).
std::string currentFolder();

// The host's installation folder as the platform knows it, ending in its
// separator, or none. Windows: the registry value of the host's open command
// (read access only, at most 300 bytes with its terminating zero), cut after
// its last backslash. POSIX: the environment variable ZUMT_HOST_DIR, with a
// final '/' added when it has none. Shows nothing.
std::optional<std::string> platformHostFolder();

// Fault injection for tests of the safe replacement: the next stageFile (or
// replaceFile) fails as told, then the fault clears itself. Each lets the
// real call fail where one is involved, so that the code must check what
// the system says.
enum class WriteFault {
    None,
    CannotCreate, // the temporary file cannot be created
    DiskFull,     // the data write stops after faultBytes bytes with an error
    SyncFails,    // the flush of the temporary file fails (Durability::Flushed
                  // only: a Replaceable file is not flushed and is written)
    MoveFails,    // everything is written, then the temporary file vanishes
                  // just before the move, which fails (at the commit)
    Stalls,       // the write stops after faultBytes bytes and waits for a signal
};
void setWriteFaultForTesting(WriteFault fault, std::size_t faultBytes = 0);
