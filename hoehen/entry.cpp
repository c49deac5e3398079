#include "hoehen/entry.h"

#include "hoehen/apply_heights.h"
#include "platform/platform.h"
#include "raster/layout_pair.h"

#include <cstdio>
#include <string>

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
    HeightsSummary summary;
    if (!applyHeights(pair->terrain, pair->layoutName, *pair->heights, &summary)) return 1;
    // One line for the person at a terminal; a log or a pipe of a script
    // that runs over many layouts stays as it was, empty.
    if (standardOutputIsTerminal()) {
        const std::string line = heightsSummaryText(summary);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }
    return 0;
}
