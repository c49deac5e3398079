// The messages of the platform layer's file outcomes: the platform says what
// happened to a file, these say it to the user, with the path as given.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
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
