#include "hoehen/entry.h"

int main(int argc, char** argv) {
    return hoehenMain(argc, argv);
}
