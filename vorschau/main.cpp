#include "common/command_line.h"
#include "vorschau/entry.h"

namespace {
const char* const Usage =
    "Aufruf: zumt_vorschau Anlage.danl [Bild.png]\n"
    "Zeichnet Gelaende, Kacheln und Anlage von oben als PNG (ohne Bild: Anlage.png).\n"
    "  -h, --help   diese Hilfe    --version   Programmversion\n";
}

int main(int argc, char** argv) {
    bool quiet = false; // nothing but messages to silence
    if (auto code = takeStandardOptions(argc, argv, "zumt_vorschau", Usage, quiet)) return *code;
    return vorschauMain(argc, argv);
}
