// Win32 side of the console functions of the platform layer.
#include "platform/platform.h"

#include <cstdio>
#include <windows.h>

namespace {
std::optional<bool> g_forcedTerminal;
} // namespace

bool standardOutputIsTerminal() {
    if (g_forcedTerminal) return *g_forcedTerminal;
    // _isatty says yes for NUL as well: a console is a character device
    // whose console mode can be read.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) == FILE_TYPE_CHAR &&
           GetConsoleMode(out, &mode) != 0;
}

void setStandardOutputTerminalForTesting(std::optional<bool> forced) {
    g_forcedTerminal = forced;
}

bool ownsConsoleWindow() {
    // A console started for this program lists only this process; one that
    // a command prompt owns lists the prompt as well.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

void waitForKey() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    FlushConsoleInputBuffer(in);
    INPUT_RECORD record;
    DWORD read = 0;
    while (ReadConsoleInputA(in, &record, 1, &read) && read == 1)
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) return;
}
