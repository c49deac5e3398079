// POSIX side of the console functions of the platform layer.
#include "platform/platform.h"

#include <cstdio>
#include <unistd.h>

namespace {
std::optional<bool> g_forcedTerminal;
} // namespace

bool standardOutputIsTerminal() {
    if (g_forcedTerminal) return *g_forcedTerminal;
    return isatty(STDOUT_FILENO) != 0;
}

void setStandardOutputTerminalForTesting(std::optional<bool> forced) {
    g_forcedTerminal = forced;
}

bool ownsConsoleWindow() {
    return false;
}

void waitForKey() {
    (void)std::getchar();
}
