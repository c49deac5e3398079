// Writes the layout of the committed zumt_hoehen case (terrainLayout) to the
// path given: the way tests/data/hoehen/Gelaende.anl was made.
#include "tests/hoehen/hoehen_fixtures.h"

#include "platform/platform.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zumt_write_hoehen_case FILE.anl\n");
        return 2;
    }
    Layout layout = terrainLayout();
    return writeFileSafely(argv[1], layoutImage(layout)) ? 0 : 1;
}
