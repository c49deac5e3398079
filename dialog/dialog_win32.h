// The Win32 side of the main dialog: the dialog procedure over template 102,
// the data exchange with the controls, the file-open dialog, the wait cursor,
// the system menu with its about box (template 100) and the icon. The
// dialog's logic is MainDialog (dialog/main_dialog.h); everything it keeps
// lives in one state record attached to the dialog window.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

struct MainDialogState;

// The program's dialog: runs modally until it ends. Returns IDOK or IDCANCEL
// (or -1 when the window could not be made).
INT_PTR runMainDialog(HINSTANCE instance, const std::optional<std::string>& argument);

// The same dialog without a modal loop of its own, for tests that drive it
// in process with window messages. The window is destroyed with the object.
class ModelessMainDialog {
  public:
    ModelessMainDialog(HINSTANCE instance, const std::optional<std::string>& argument);
    ~ModelessMainDialog();
    ModelessMainDialog(const ModelessMainDialog&) = delete;
    ModelessMainDialog& operator=(const ModelessMainDialog&) = delete;

    HWND window() const;
    // True once the dialog ended with "OK" (it is hidden then).
    bool endedWithOk() const;

  private:
    std::unique_ptr<MainDialogState> state_;
};
