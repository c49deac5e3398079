#include "common/command_line.h"
#include "vorschau/entry.h"

namespace {
const char* const Usage =
    "Aufruf: zumt_vorschau Anlage.danl [Bild.png] [--kacheln | --ohne-kacheln]\n"
    "Zeichnet Gelaende, Kacheln und Anlage von oben als PNG (ohne Bild: Anlage.png).\n"
    "Die Kacheln werden umrandet, wo die Raender lesbar bleiben, sonst nur gezaehlt;\n"
    "  --kacheln  umrandet sie immer, --ohne-kacheln nie.\n"
    "  -h, --help   diese Hilfe    --version   Programmversion\n";
}

int main(int argc, char** argv) {
    bool quiet = false; // nothing but messages to silence
    if (auto code = takeStandardOptions(argc, argv, "zumt_vorschau", Usage, quiet)) return *code;
    return vorschauMain(argc, argv);
}
