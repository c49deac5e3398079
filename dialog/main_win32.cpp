// The entry of gen_zumt_ter.exe: the one modal dialog, then the end of the
// program. The first command-line argument names a ".danl" to load at start.
#include "dialog/dialog_win32.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::optional<std::string> argument;
    if (__argc >= 2 && __argv) argument = __argv[1];
    runMainDialog(instance, argument);
    return 0;
}
