// Writes the demo terrain of demo_terrain.h into the folder given as the
// argument (default: the current folder), for the console front end's test
// and the screenshot of the dialog.
#include "tests/dialog/demo_terrain.h"

#include <string>

int main(int argc, char** argv) {
    std::string folder = argc >= 2 ? argv[1] : "";
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
    writeDemoTerrain(folder);
    return 0;
}
