#include "common/command_line.h"
#include "hoehen/entry.h"

#include <cstdio>

namespace {
const char* const Usage = "Aufruf: zumt_hoehen Anlage.anl\n"
                          "Setzt die Hoehen von Gleisen, Objekten und Kameras der Anlage nach dem\n"
                          "Gelaende, das [Terrain1] \"Hoehe\" der Anlage.danl daneben nennt.\n"
                          "  -h, --help   diese Hilfe    --version   Programmversion\n";
}

int main(int argc, char** argv) {
    bool quiet = false; // nothing but messages to silence
    if (auto code = takeStandardOptions(argc, argv, "zumt_hoehen", Usage, quiet)) return *code;
    if (argc < 2) std::fputs(Usage, stdout);
    return hoehenMain(argc, argv);
}
