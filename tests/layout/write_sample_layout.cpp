// Writes the sample layout of the tests to the path given: the way the
// golden file tests/data/layout/sample.anl was made, and a way to compare
// what the native and the Windows build write.
#include "tests/layout/layout_fixtures.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zumt_write_sample_layout FILE.anl\n");
        return 2;
    }
    Layout layout = sampleLayout();
    return layout.save(argv[1]) ? 0 : 1;
}
