#include "generator/host_folder.h"

#include "platform/platform.h"

namespace {

std::string& cache() {
    static std::string folder;
    return folder;
}

} // namespace

std::optional<std::string> hostFolder() {
    if (!cache().empty()) return cache();
    std::optional<std::string> found = platformHostFolder();
    if (!found || found->empty()) return std::nullopt;
    cache() = *found;
    return cache();
}

void forgetHostFolder() {
    cache().clear();
}

bool hostFolderExists(const std::string& folder) {
    if (platformIsWindows()) return true;
    return folderExists(folder);
}
