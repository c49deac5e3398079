// POSIX side of the console functions of the platform layer.
#include "platform/platform.h"

#include <cstdio>
#include <unistd.h>

bool standardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

bool ownsConsoleWindow() {
    return false;
}

void waitForKey() {
    (void)std::getchar();
}
