// Prints what hostFolder finds, twice (the second answer comes from the
// cache), or "none". Used by host_folder_wine.sh.
#include "generator/host_folder.h"

#include <cstdio>

int main() {
    for (int i = 0; i < 2; ++i) {
        std::optional<std::string> folder = hostFolder();
        std::printf("%s\n", folder ? folder->c_str() : "none");
    }
    return 0;
}
