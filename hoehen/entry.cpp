#include "hoehen/entry.h"

#include "hoehen/apply_heights.h"
#include "raster/layout_pair.h"

int hoehenMain(int argc, char** argv) {
    // Without an argument there is nothing to do and nothing to say: the
    // program may be started from a file manager with no file at all.
    if (argc < 2) return 1;

    // The height file, "hoehen.ini" and the layout are opened relative to
    // the layout's folder, which is the current folder from here on. A
    // height file that cannot be read still gives a source: its reader has
    // said what is wrong, and the source is empty.
    std::optional<LayoutPair> pair = openLayoutPair(argv[1]);
    if (!pair) return 1;

    // Exit code 0 says that the layout was written, and nothing less: a
    // script that runs the program over many layouts relies on it.
    return applyHeights(pair->terrain, pair->layoutName, *pair->heights) ? 0 : 1;
}
