#include "common/file_messages.h"

#include "common/message.h"

#include <string>

int reportInputProblem(InputProblem problem, std::string_view path) {
    const std::string shown(path);
    switch (problem) {
    case InputProblem::None:
        break;
    case InputProblem::CannotOpen:
        return report("Can't open %s!\n", shown.c_str());
    case InputProblem::NotAFile:
        return report("%s ist keine Datei!\n", shown.c_str());
    case InputProblem::TooLarge:
        return report("%s ist zu gross!\n", shown.c_str());
    case InputProblem::ReadFailed:
        return report("Fehler beim Lesen von %s!\n", shown.c_str());
    }
    return 0;
}

bool writeFileSafely(std::string_view path, const void* data, std::size_t size,
                     Durability durability) {
    const std::string shown(path);
    switch (replaceFile(path, data, size, durability)) {
    case WriteOutcome::Written:
        return true;
    case WriteOutcome::CannotOpen:
        return report("Can't open %s!\n", shown.c_str());
    case WriteOutcome::OwnerNotKept:
        return report("%s: Besitzer kann nicht erhalten werden!\n", shown.c_str());
    case WriteOutcome::WriteFailed:
        break;
    }
    return report("Fehler beim Schreiben von %s!\n", shown.c_str());
}
