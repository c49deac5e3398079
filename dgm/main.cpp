#include "dgm/dgm_program.h"

int main(int argc, char** argv) {
    return dgmMain(argc, argv);
}
