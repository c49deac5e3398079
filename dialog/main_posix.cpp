#include "dialog/console_front.h"

int main(int argc, char** argv) {
    return genZumtTerConsoleMain(argc, argv);
}
