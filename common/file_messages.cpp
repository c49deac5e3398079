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

int reportWriteOutcome(WriteOutcome outcome, std::string_view path) {
    const std::string shown(path);
    switch (outcome) {
    case WriteOutcome::Written:
        break;
    case WriteOutcome::CannotOpen:
        return report("Can't open %s!\n", shown.c_str());
    case WriteOutcome::ReadOnly:
        return report("Can't open %s: schreibgeschuetzt!\n", shown.c_str());
    case WriteOutcome::NoPermission:
        return report("Can't open %s: keine Schreibrechte!\n", shown.c_str());
    case WriteOutcome::NoFolder:
        return report("Can't open %s: Ordner fehlt!\n", shown.c_str());
    case WriteOutcome::WriteFailed:
        return report("Fehler beim Schreiben von %s!\n", shown.c_str());
    case WriteOutcome::OwnerNotKept:
        return report("%s: Besitzer kann nicht erhalten werden!\n", shown.c_str());
    }
    return 0;
}

bool writeFileSafely(std::string_view path, const void* data, std::size_t size,
                     Durability durability) {
    WriteOutcome outcome = replaceFile(path, data, size, durability);
    switch (outcome) {
    case WriteOutcome::Written:
        return true;
    case WriteOutcome::ReadOnly:
    case WriteOutcome::NoPermission:
    case WriteOutcome::NoFolder:
        // These programs have always said no more than that.
        outcome = WriteOutcome::CannotOpen;
        break;
    default:
        break;
    }
    return reportWriteOutcome(outcome, path) != 0;
}
