#include "dialog/dialog_win32.h"

#include "common/message.h"
#include "dialog/file_filter.h"
#include "dialog/main_dialog.h"
#include "platform/platform.h"

#include <commdlg.h>

#include <cwchar>
#include <vector>

namespace {

// The longest path the file-open dialog hands back, with its zero.
constexpr DWORD FileNameCapacity = MAX_PATH;
// The title shows the progress at most this often (ms), and always for the
// first and the last tile: the tiles come faster than a title is worth
// redrawing.
constexpr ULONGLONG ProgressInterval = 100;

class Win32DialogWindow : public DialogWindow {
  public:
    explicit Win32DialogWindow(MainDialogState& state) : state_(state) {}

    void readTexts(DialogTexts& texts) override;
    void writeTexts(const DialogTexts& texts) override;
    void enableControl(int controlId, bool enabled) override;
    void prepareFrame() override;
    std::optional<FileChoice> chooseFile(const FileRequest& request) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void showProgress(std::int64_t done, std::int64_t total) override;
    void endProgress() override;
    void endDialogOk() override;
    bool askYesNo(const std::string& text) override;
    void showResult(const std::string& text) override;

  private:
    MainDialogState& state_;
};

} // namespace

// Everything one dialog keeps, attached to its window (DWLP_USER).
struct MainDialogState {
    MainDialogState(HINSTANCE inst, const std::optional<std::string>& arg)
        : instance(inst), argument(arg) {}

    HINSTANCE instance;
    std::optional<std::string> argument; // the ".danl" of the command line
    HWND hwnd = nullptr;
    HICON icon = nullptr;      // resource 128, the system's icon size
    HICON smallIcon = nullptr; // its small image
    // Set while the dialog writes its own texts: the change notifications
    // that this causes are not handled.
    bool writingTexts = false;
    // Set while a button's handler runs. A message box shown meanwhile has no
    // owner, so the dialog could take clicks during it; they are ignored, as
    // the handler still works on the settings and the source.
    bool busy = false;
    HCURSOR previousCursor = nullptr;
    bool progressShown = false;
    ULONGLONG lastProgress = 0;
    std::vector<wchar_t> caption; // the title before the progress
    bool endedWithOk = false;

    Win32DialogWindow window{*this};
    MainDialog dialog{window};
};

namespace {

std::string controlText(HWND control) {
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return std::string();
    std::vector<char> buf(static_cast<std::size_t>(length) + 1);
    const int n = GetWindowTextA(control, buf.data(), length + 1);
    return std::string(buf.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

void Win32DialogWindow::readTexts(DialogTexts& texts) {
    for (const TextBinding& b : TextBindings)
        texts.*b.text = controlText(GetDlgItem(state_.hwnd, b.controlId));
}

void Win32DialogWindow::writeTexts(const DialogTexts& texts) {
    state_.writingTexts = true;
    for (const TextBinding& b : TextBindings) {
        HWND control = GetDlgItem(state_.hwnd, b.controlId);
        // An unchanged text is left alone, so that the caret of the edit
        // being typed into stays where it is.
        if (controlText(control) != texts.*b.text) SetWindowTextA(control, (texts.*b.text).c_str());
    }
    state_.writingTexts = false;
}

void Win32DialogWindow::enableControl(int controlId, bool enabled) {
    EnableWindow(GetDlgItem(state_.hwnd, controlId), enabled ? TRUE : FALSE);
}

void Win32DialogWindow::prepareFrame() {
    // The about box in the system menu.
    if (HMENU menu = GetSystemMenu(state_.hwnd, FALSE)) {
        wchar_t text[128] = {};
        if (LoadStringW(state_.instance, IDS_ABOUTBOX, text, 128) > 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
        }
    }
    SendMessageW(state_.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state_.icon));
    SendMessageW(state_.hwnd, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(state_.smallIcon ? state_.smallIcon : state_.icon));
}

std::optional<FileChoice> Win32DialogWindow::chooseFile(const FileRequest& request) {
    std::vector<char> file(FileNameCapacity, '\0');
    request.initialName.copy(file.data(), FileNameCapacity - 1);
    const std::string filter = win32FilterText(request.filter);
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = state_.hwnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = FileNameCapacity;
    ofn.Flags = 0;
    if (!GetOpenFileNameA(&ofn)) return std::nullopt;
    FileChoice choice;
    choice.pathName = file.data();
    if (ofn.nFileOffset < choice.pathName.size())
        choice.fileName = choice.pathName.substr(ofn.nFileOffset);
    return choice;
}

void Win32DialogWindow::beginWaitCursor() {
    state_.previousCursor = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
}

void Win32DialogWindow::endWaitCursor() {
    SetCursor(state_.previousCursor);
}

void Win32DialogWindow::showProgress(std::int64_t done, std::int64_t total) {
    const ULONGLONG now = GetTickCount64();
    if (!state_.progressShown) {
        const int length = GetWindowTextLengthW(state_.hwnd);
        state_.caption.assign(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
        GetWindowTextW(state_.hwnd, state_.caption.data(), length + 1);
    } else if (done != total && now - state_.lastProgress < ProgressInterval) {
        return;
    }
    state_.progressShown = true;
    state_.lastProgress = now;
    wchar_t title[64];
    swprintf(title, 64, L"Kachel %lld von %lld", static_cast<long long>(done),
             static_cast<long long>(total));
    SetWindowTextW(state_.hwnd, title);
    // Nothing else is processed until the generator returns: draw now.
    UpdateWindow(state_.hwnd);
}

void Win32DialogWindow::endProgress() {
    if (!state_.progressShown) return;
    state_.progressShown = false;
    SetWindowTextW(state_.hwnd, state_.caption.data());
    UpdateWindow(state_.hwnd);
}

void Win32DialogWindow::endDialogOk() {
    state_.endedWithOk = true;
    EndDialog(state_.hwnd, IDOK);
}

bool Win32DialogWindow::askYesNo(const std::string& text) {
    // Owned by the dialog, which stays disabled until it is answered.
    return MessageBoxA(state_.hwnd, text.c_str(), MessageCaption,
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void Win32DialogWindow::showResult(const std::string& text) {
    // A message like every other: after "OK" the dialog closes behind it.
    report("%s", text.c_str());
}

INT_PTR CALLBACK aboutProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void paintIcon(MainDialogState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.hwnd, &ps);
    SendMessageW(s.hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rect;
    GetClientRect(s.hwnd, &rect);
    const int x = (rect.right - rect.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.bottom - rect.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, s.icon);
    EndPaint(s.hwnd, &ps);
}

// Runs one handler of the dialog; clicks that come while it runs (through
// the loop of a message box) are dropped.
template <typename Handler>
INT_PTR handle(MainDialogState& s, Handler handler) {
    if (s.busy) return TRUE;
    s.busy = true;
    handler(s.dialog);
    s.busy = false;
    return TRUE;
}

INT_PTR onCommand(MainDialogState& s, int id, int code) {
    if (code == EN_CHANGE) {
        if (s.writingTexts || s.busy) return TRUE;
        if (id == IDC_FAKTOR || id == IDC_SHIFT)
            return handle(s, [](MainDialog& d) { d.onMappingEdited(); });
        if (id == IDC_MIN || id == IDC_MAX)
            return handle(s, [](MainDialog& d) { d.onRangeEdited(); });
        return FALSE;
    }
    if (code != BN_CLICKED) return FALSE;
    switch (id) {
    case IDOK:
        return handle(s, [](MainDialog& d) { d.OnOK(); });
    case IDCANCEL:
        // Esc, the close box and "Abbrechen": nothing is stored.
        if (!s.busy) EndDialog(s.hwnd, IDCANCEL);
        return TRUE;
    case IDC_APPLY:
        return handle(s, [](MainDialog& d) { d.onApply(); });
    case IDC_CHOOSE_SETTINGS:
        return handle(s, [](MainDialog& d) { d.chooseSettingsFile(); });
    case IDC_CHOOSE_HEIGHT:
        return handle(s, [](MainDialog& d) { d.chooseHeightFile(); });
    case IDC_CHOOSE_COLOUR:
        return handle(s, [](MainDialog& d) { d.chooseColourFile(); });
    }
    return FALSE;
}

INT_PTR CALLBACK mainDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* s = reinterpret_cast<MainDialogState*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        s->hwnd = hwnd;
        s->busy = true;
        const bool focusSet = s->dialog.OnInitDialog(s->argument);
        s->busy = false;
        return focusSet ? TRUE : FALSE;
    }
    auto* s = reinterpret_cast<MainDialogState*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!s) return FALSE;
    switch (message) {
    case WM_COMMAND:
        return onCommand(*s, LOWORD(wParam), HIWORD(wParam));
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            DialogBoxParamW(s->instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), hwnd, aboutProc, 0);
            return TRUE;
        }
        return FALSE;
    case WM_PAINT:
        if (IsIconic(hwnd)) {
            paintIcon(*s);
            return TRUE;
        }
        return FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(s->icon);
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        s->hwnd = nullptr;
        return FALSE;
    }
    return FALSE;
}

std::unique_ptr<MainDialogState> makeState(HINSTANCE instance,
                                           const std::optional<std::string>& argument) {
    auto s = std::make_unique<MainDialogState>(instance, argument);
    s->icon = LoadIconW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    s->smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    return s;
}

void releaseIcons(MainDialogState& s) {
    // Icons from LoadIcon are shared and stay; the sized one is ours.
    if (s.smallIcon) DestroyIcon(s.smallIcon);
    s.smallIcon = nullptr;
}

} // namespace

INT_PTR runMainDialog(HINSTANCE instance, const std::optional<std::string>& argument) {
    std::unique_ptr<MainDialogState> s = makeState(instance, argument);
    const INT_PTR result = DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_GEN_ZUMT_TER), nullptr,
                                           mainDialogProc, reinterpret_cast<LPARAM>(s.get()));
    releaseIcons(*s);
    return result;
}

ModelessMainDialog::ModelessMainDialog(HINSTANCE instance,
                                       const std::optional<std::string>& argument)
    : state_(makeState(instance, argument)) {
    CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_GEN_ZUMT_TER), nullptr, mainDialogProc,
                       reinterpret_cast<LPARAM>(state_.get()));
}

ModelessMainDialog::~ModelessMainDialog() {
    if (state_->hwnd) DestroyWindow(state_->hwnd);
    releaseIcons(*state_);
}

HWND ModelessMainDialog::window() const {
    return state_->hwnd;
}

bool ModelessMainDialog::endedWithOk() const {
    return state_->endedWithOk;
}
