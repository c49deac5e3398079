// The messages of the platform layer's file outcomes: the platform says what
// happened to a file, these say it to the user, with the path as given.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Shows the message of an input problem and returns 0 like report:
//   CannotOpen  "Can't open %s!\n"
//   NotAFile    "%s ist keine Datei!\n"
//   TooLarge    "%s ist zu gross!\n"
//   ReadFailed  "Fehler beim Lesen von %s!\n"
// None shows nothing.
int reportInputProblem(InputProblem problem, std::string_view path);

// Shows the message of a write outcome, with the reason why a file cannot
// be written, and returns 0 like report:
//   CannotOpen    "Can't open %s!\n"
//   ReadOnly      "Can't open %s: schreibgeschuetzt!\n"
//   NoPermission  "Can't open %s: keine Schreibrechte!\n"
//   NoFolder      "Can't open %s: Ordner fehlt!\n"
//   WriteFailed   "Fehler beim Schreiben von %s!\n"
//   OwnerNotKept  "%s: Besitzer kann nicht erhalten werden!\n"
// Written shows nothing.
int reportWriteOutcome(WriteOutcome outcome, std::string_view path);

// The safe replacement (replaceFile) with its failure shown as above, except
// that every target that cannot be opened gets the plain "Can't open %s!\n"
// (ReadOnly, NoPermission and NoFolder too): the programs that use it have
// always said that much. Returns true when the target holds the new bytes.
bool writeFileSafely(std::string_view path, const void* data, std::size_t size,
                     Durability durability = Durability::Flushed);
inline bool writeFileSafely(std::string_view path, const std::vector<std::uint8_t>& bytes,
                            Durability durability = Durability::Flushed) {
    return writeFileSafely(path, bytes.data(), bytes.size(), durability);
}

// Files that change as one (the converter's terrain, colour bitmap and
// settings): every target is checked before the first byte is written, each
// goes into its temporary file, and the old files are replaced only when
// every temporary is complete, one move after another as the last step. A
// failure shows one message with the reason; the temporaries staged so far
// are removed (also by Ctrl-C), the old files stay.
class FileSet {
  public:
    // Whether the target could be replaced now; false after the message.
    [[nodiscard]] bool check(const std::string& path);
    // The bytes into the target's temporary file; false after the message.
    [[nodiscard]] bool stage(const std::string& path, const std::vector<std::uint8_t>& bytes,
                             Durability durability);
    // Moves every staged file over its target, in the order staged. Should a
    // move fail after others succeeded, each file is still whole, and the one
    // message names the files that are new and those that are old.
    [[nodiscard]] bool commit();
    // The targets replaced by commit, in order.
    const std::vector<std::string>& written() const { return written_; }

  private:
    std::vector<std::string> paths_;
    std::vector<StagedFile> files_;
    std::vector<std::string> written_;
};
