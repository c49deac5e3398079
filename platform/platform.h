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

// fopen of osPath(path).
std::FILE* openFile(std::string_view path, const char* mode);

// The size in bytes of an open file as the file system reports it (not the
// stream position; 64 bits on every system). False when it cannot be told.
bool openFileSize(std::FILE* f, std::uint64_t& size);

// Reads a whole file. Returns false (and leaves out empty) when it cannot be
// opened or read; shows nothing.
bool readWholeFile(std::string_view path, std::vector<std::uint8_t>& out);

// Safe replacement: writes the bytes to a temporary file beside the target,
// checks every write, flushes them to the disk and then moves the temporary
// file over the target in one step. An existing read-only target is never
// replaced. Failures are shown with the path as given and leave any old file
// exactly as it was:
//   "Can't open %s!\n"               the target or its temporary cannot be created,
//                                    or the target is read-only;
//   "Fehler beim Schreiben von %s!\n" a write, flush or the final move failed.
// Returns true when the target holds the new bytes.
//
// The user's own files (layouts, settings) are flushed to the disk before
// the move, so that a crash right after it cannot leave an empty file in
// their place. Generated models, thousands of them per run and remade by
// the next run, skip that wait (Durability::Replaceable): the move still
// never exposes a half-written file to a running program.
enum class Durability { Flushed, Replaceable };

// The safe replacement without the message, for callers that report a
// failure in their own words (the generator stops at the first model it
// cannot write and says how many were left). CannotOpen and WriteFailed are
// the cases of the two messages above; nothing is shown.
enum class WriteOutcome { Written, CannotOpen, WriteFailed };
[[nodiscard]] WriteOutcome replaceFile(std::string_view path, const void* data, std::size_t size,
                                       Durability durability);

bool writeFileSafely(std::string_view path, const void* data, std::size_t size,
                     Durability durability = Durability::Flushed);
inline bool writeFileSafely(std::string_view path, const std::vector<std::uint8_t>& bytes,
                            Durability durability = Durability::Flushed) {
    return writeFileSafely(path, bytes.data(), bytes.size(), durability);
}

// Change of the current folder; creation of one folder; creation of a folder
// with all its missing parents. Return true on success (an existing folder
// counts as success for the two creations).
bool changeFolder(std::string_view path);
bool makeFolder(std::string_view path);
bool makeFolders(std::string_view path);

// The console of a command-line program. standardOutputIsTerminal: standard
// output goes to a terminal or console window, not into a file or a pipe
// (progress lines are for people, not for logs). ownsConsoleWindow: the
// console window was opened for this program alone, as when it is started
// from Explorer or by dropping files onto it, and closes with it (Windows;
// always false on POSIX). waitForKey: waits until a key is pressed.
bool standardOutputIsTerminal();
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

// Fault injection for tests of the safe replacement: the next writes of
// writeFileSafely fail as told, then the fault clears itself.
enum class WriteFault {
    None,
    CannotCreate, // the temporary file cannot be created
    DiskFull,     // the data write stops after faultBytes bytes with an error
    MoveFails,    // everything is written but the final move fails
};
void setWriteFaultForTesting(WriteFault fault, std::size_t faultBytes = 0);
