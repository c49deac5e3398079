// Win32 side of the console functions of the platform layer.
#include "platform/platform.h"

#include <cstdio>
#include <io.h>
#include <windows.h>

bool standardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
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
