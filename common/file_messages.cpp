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

bool FileSet::check(const std::string& path) {
    const WriteOutcome outcome = checkReplaceable(path);
    if (outcome == WriteOutcome::Written) return true;
    reportWriteOutcome(outcome, path);
    return false;
}

bool FileSet::stage(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    Durability durability) {
    StagedFile file;
    const WriteOutcome outcome = stageFile(path, bytes.data(), bytes.size(), durability, file);
    if (outcome != WriteOutcome::Written) {
        reportWriteOutcome(outcome, path);
        files_.clear(); // the old files stay; so must nothing of the new ones
        paths_.clear();
        return false;
    }
    paths_.push_back(path);
    files_.push_back(std::move(file));
    return true;
}

bool FileSet::commit() {
    for (std::size_t k = 0; k < files_.size(); ++k) {
        const WriteOutcome outcome = commitStagedFile(files_[k]);
        if (outcome == WriteOutcome::Written) {
            written_.push_back(paths_[k]);
            continue;
        }
        std::string fresh, old;
        for (const std::string& p : written_)
            fresh += "\n  " + p;
        for (std::size_t j = k; j < paths_.size(); ++j)
            old += "\n  " + paths_[j];
        const std::string name = paths_[k];
        files_.clear(); // removes the temporaries not moved
        paths_.clear();
        if (fresh.empty()) {
            reportWriteOutcome(outcome, name);
        } else {
            report("Fehler beim Schreiben von %s!\nNeu geschrieben:%s\nUnveraendert:%s\n",
                   name.c_str(), fresh.c_str(), old.c_str());
        }
        return false;
    }
    files_.clear();
    paths_.clear();
    return true;
}
