#include "vorschau/entry.h"

int main(int argc, char** argv) {
    return vorschauMain(argc, argv);
}
