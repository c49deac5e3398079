// The real dialog of gen_zumt_ter (template 102 and the dialog procedure of
// the program), created in process without a modal loop and driven the way
// the user drives it: texts set into the edits, buttons clicked, texts and
// states read back through window messages. Modal windows that the dialog
// opens (the file-open dialog) are answered from a timer,
// which their own message loops run. Messages are captured, not shown.
#include "dialog/dialog_win32.h"
#include "dialog/resource.h"
#include "platform/platform.h"
#include "tests/dialog/demo_terrain.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <commdlg.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

constexpr const wchar_t* Caption = L"ZUMT Landschaftgenerierung";

// ---- a modal window answered from a timer ---------------------------------

// The first visible dialog window that owner owns.
HWND ownedDialog(HWND owner) {
    std::pair<HWND, HWND> search{owner, nullptr}; // the owner, the window found
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<std::pair<HWND, HWND>*>(p);
            wchar_t cls[16] = {};
            GetClassNameW(w, cls, 16);
            if (GetWindow(w, GW_OWNER) != s->first || !IsWindowVisible(w) ||
                lstrcmpW(cls, L"#32770") != 0)
                return TRUE;
            s->second = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// What the timer does with the first visible dialog window owned by owner.
struct ModalScript {
    HWND owner = nullptr;
    std::function<void(HWND)> answer;
    bool answered = false;
    int ticks = 0;
};
ModalScript* g_script = nullptr;

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (!g_script || g_script->answered) return;
    HWND modal = ownedDialog(g_script->owner);
    if (!modal) {
        // Give up after half a minute: cancel whatever is open.
        if (++g_script->ticks > 300) {
            g_script->answered = true;
            KillTimer(nullptr, id);
        }
        return;
    }
    g_script->answered = true;
    KillTimer(nullptr, id);
    g_script->answer(modal);
}

// Runs action (which opens a modal window) while the timer answers it.
void answerModal(HWND owner, const std::function<void(HWND)>& answer,
                 const std::function<void()>& action) {
    ModalScript script{owner, answer};
    g_script = &script;
    SetTimer(nullptr, 0, 100, onTimer);
    action();
    g_script = nullptr;
    EXPECT_TRUE(script.answered);
}

std::wstring windowText(HWND w) {
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::vector<std::wstring> fileTypes(HWND fileDialog) {
    std::vector<std::wstring> types;
    HWND combo = GetDlgItem(fileDialog, cmb1);
    const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        wchar_t buf[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        types.push_back(buf);
    }
    return types;
}

// ---- titles set on the dialog, seen by a hook --------------------------------

HWND g_watched = nullptr;
std::vector<std::wstring>* g_titles = nullptr;

LRESULT CALLBACK watchTitles(int code, WPARAM wParam, LPARAM lParam) {
    auto* m = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && g_titles && m->hwnd == g_watched && m->message == WM_SETTEXT &&
        m->lParam)
        g_titles->push_back(reinterpret_cast<const wchar_t*>(m->lParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class RealDialog : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    std::unique_ptr<ModelessMainDialog> dialog;
    HWND hwnd = nullptr;

    void open(const std::optional<std::string>& argument) {
        dialog = std::make_unique<ModelessMainDialog>(GetModuleHandleW(nullptr), argument);
        hwnd = dialog->window();
        ASSERT_NE(hwnd, nullptr);
    }
    void openDemo() {
        writeDemoTerrain(tmp.file(""));
        open(tmp.file("Demo.danl"));
    }
    HWND item(int id) const { return GetDlgItem(hwnd, id); }
    std::string text(int id) const {
        char buf[512] = {};
        SendMessageA(item(id), WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf));
        return buf;
    }
    // The texts of the fields, joined by "|"; by default Min, Max, Faktor and
    // Verschiebung.
    std::string texts(std::initializer_list<int> ids = {IDC_MIN, IDC_MAX, IDC_FAKTOR,
                                                        IDC_SHIFT}) const {
        std::string joined;
        for (int id : ids)
            (joined += '|') += text(id);
        return joined.substr(1);
    }
    // As typed: the edit's text changes and it notifies the dialog.
    void type(int id, const char* value) {
        SendMessageA(item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value));
    }
    void click(int id) { SendMessageW(item(id), BM_CLICK, 0, 0); }
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    // Clicks a chooser and answers its file-open dialog with path (cancels
    // it when path is empty); returns the file types the dialog offered.
    std::vector<std::wstring> choose(int button, const std::string& path) {
        std::vector<std::wstring> types;
        answerModal(
            hwnd,
            [&](HWND files) {
                types = fileTypes(files);
                // The file name: a combo box in the Explorer form, an edit in
                // the older one.
                const HWND name = GetDlgItem(files, cmb13);
                if (!path.empty())
                    SetWindowTextA(name ? name : GetDlgItem(files, edt1), path.c_str());
                PostMessageW(files, WM_COMMAND, path.empty() ? IDCANCEL : IDOK, 0);
            },
            [&] { click(button); });
        return types;
    }
};

} // namespace

TEST_F(RealDialog, ControlStatesAtTheStart) {
    open(std::nullopt);
    EXPECT_EQ(windowText(hwnd), Caption);
    // The three paths are read-only, the pixel size starts disabled, OK is
    // the default button.
    for (int id : {IDC_SETTINGS_PATH, IDC_HEIGHT_PATH, IDC_COLOUR_PATH})
        EXPECT_TRUE(GetWindowLongW(item(id), GWL_STYLE) & ES_READONLY) << id;
    EXPECT_FALSE(GetWindowLongW(item(IDC_NAME), GWL_STYLE) & ES_READONLY);
    EXPECT_FALSE(enabled(IDC_PIXEL_SIZE));
    EXPECT_TRUE(enabled(IDC_MIN));
    EXPECT_EQ(LOWORD(SendMessageW(hwnd, DM_GETDEFID, 0, 0)), IDOK);
    // Without a height file Min and Max give nothing and stay empty.
    type(IDC_MIN, "5");
    EXPECT_EQ(texts(), "|||");
    type(IDC_FAKTOR, "2");
    EXPECT_EQ(texts(), "||2|");
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(RealDialog, RefusedSettingsPathsLeaveTheFieldsAlone) {
    for (const char* path : {"D:\\Anlagen\\Test.anl", "Test.DANL", "a.danl\\Test"}) {
        SCOPED_TRACE(path);
        capture.reset();
        open(std::string(path));
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{std::string("Falsche Endung: ") + path + "\n"});
        EXPECT_EQ(texts({IDC_SETTINGS_PATH, IDC_FAKTOR}), "|");
    }
    // A refused choice leaves what was loaded before; another ".danl" fills
    // every field afresh.
    openDemo();
    capture.reset();
    type(IDC_SHIFT, "1.50");
    writeText(tmp.file("Neu.txt"), "");
    choose(IDC_CHOOSE_SETTINGS, tmp.file("Neu.txt"));
    EXPECT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(texts({IDC_NAME, IDC_SHIFT}), "Demo|1.50");
    writeText(tmp.file("Zweite.danl"), "[Terrain1]\r\nName=B\r\n");
    choose(IDC_CHOOSE_SETTINGS, tmp.file("Zweite.danl"));
    EXPECT_EQ(texts({IDC_NAME, IDC_COLOUR_PATH, IDC_FAKTOR, IDC_SHIFT}), "B||1.0|");
}

TEST_F(RealDialog, OlderTerrainSectionIsRenamedOnlyWhenAlone) {
    writeDemoTerrain(tmp.file(""), "");
    writeText(tmp.file("Demo.danl"), "[Terrain]\r\nHoehe=hoehe.bmp\r\n");
    open(tmp.file("Demo.danl"));
    EXPECT_EQ(texts({IDC_HEIGHT_PATH, IDC_MIN}), "hoehe.bmp|0.02");
    click(IDC_APPLY);
    EXPECT_EQ(readText(tmp.file("Demo.danl")), "[Terrain1]\r\nHoehe=hoehe.bmp\r\nFaktor=1.0\r\n");

    writeText(tmp.file("Demo.danl"),
              "[Terrain]\r\nHoehe=alt.bmp\r\n\r\n[Terrain1]\r\nName=Neu\r\n");
    choose(IDC_CHOOSE_SETTINGS, tmp.file("Demo.danl"));
    EXPECT_EQ(texts({IDC_HEIGHT_PATH, IDC_NAME}), "|Neu");
}

TEST_F(RealDialog, FlatTerrainDisablesMinAndMax) {
    writeDemoTerrain(tmp.file(""));
    writeTerrainFiles(tmp, 8, 6, [](std::int32_t, std::int32_t) { return 300; });
    open(tmp.file("Demo.danl"));
    EXPECT_EQ(texts({IDC_MIN, IDC_MAX}), "0.02|0.02");
    EXPECT_FALSE(enabled(IDC_MIN) || enabled(IDC_MAX));
    // A terrain with a range enables them again.
    writeDemoTerrain(tmp.file(""));
    choose(IDC_CHOOSE_HEIGHT, tmp.file("hoehe.bmp"));
    EXPECT_TRUE(enabled(IDC_MIN) && enabled(IDC_MAX));
}

TEST_F(RealDialog, TypedRangeGivesTheMappingAndBack) {
    openDemo();
    type(IDC_MIN, "0");
    type(IDC_MAX, "40");
    EXPECT_EQ(texts(), "0|40|2.0000|10.00");
    // Writing Min and Max does not start the way back: Faktor keeps "1".
    type(IDC_FAKTOR, "1");
    EXPECT_EQ(texts(), "5.00|25.00|1|10.00");
    // A Faktor of no use computes with 1.0 and keeps its text.
    type(IDC_FAKTOR, "abc");
    EXPECT_EQ(texts(), "5.00|25.00|abc|10.00");
    // A Max not above Min puts back the range of the mapping.
    type(IDC_MIN, "0");
    type(IDC_MAX, "40");
    for (const char* max : {"-3", "0", "abc"}) {
        type(IDC_MAX, max);
        EXPECT_EQ(texts(), "0.00|40.00|2.0000|10.00") << max;
    }
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(RealDialog, OkWritesSettingsModelsAndLayoutAndEnds) {
    // What the dialog does not show stays in the file, in its order.
    writeDemoTerrain(tmp.file(""));
    writeText(tmp.file("Demo.danl"), readText(tmp.file("Demo.danl")) + "\r\n[Andere]\r\nX=1\r\n");
    open(tmp.file("Demo.danl"));
    type(IDC_MIN, "0");
    type(IDC_MAX, "40");

    std::vector<std::wstring> titles;
    g_titles = &titles;
    g_watched = hwnd;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, watchTitles, nullptr, GetCurrentThreadId());
    click(IDOK);
    UnhookWindowsHookEx(hook);
    g_titles = nullptr;

    // Where everything went, the models beside the ".danl" as no host is
    // registered.
    const std::string here = currentFolder();
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"24 Modelle (3 MB) geschrieben in " + here +
                                       "\\Demo\nZumt ist nicht in der Registry eingetragen: die "
                                       "Modelle liegen neben der erw. Anlage.\nAnlage: " +
                                       here + "\\Demo.anl\n"});
    EXPECT_TRUE(dialog->endedWithOk());
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(readText(tmp.file("Demo.danl")),
              "[Terrain1]\r\nName=Demo\r\nHoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\n"
              "Pixelgroesse=10\r\nFaktor=2.0000\r\nVerschiebung=10.00\r\n\r\n[Andere]\r\nX=1\r\n");
    EXPECT_TRUE(fileExists(tmp.file("Demo.anl")));
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_TRUE(fileExists(
                tmp.file("Demo\\bmp" + std::to_string(i) + "_" + std::to_string(j) + ".mod")));
    // The progress in the title, then the caption again.
    ASSERT_GE(titles.size(), 3u);
    EXPECT_EQ(titles.front(), L"Kachel 1 von 24");
    EXPECT_EQ(titles[titles.size() - 2], L"Kachel 24 von 24");
    EXPECT_EQ(titles.back(), Caption);
    EXPECT_EQ(windowText(hwnd), Caption);
}

TEST_F(RealDialog, LargeJobIsConfirmedFirst) {
    // 2 m tiles every 2 m on a 1 m grid: far above 1000 tiles. Without
    // "Farbe" the generator stops at once after "Ja".
    writeDemoTerrain(tmp.file(""), "");
    const std::string danl = "[Terrain1]\r\nName=Demo\r\nHoehe=hoehe.bmp\r\nPixelgroesse=1\r\n"
                             "Kachelgroesse=2\r\nKachelabstand=2\r\n";
    writeText(tmp.file("Demo.danl"), danl);
    open(tmp.file("Demo.danl"));
    for (const int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer);
        capture.reset();
        std::wstring question;
        answerModal(
            hwnd,
            [&](HWND box) {
                question = windowText(GetDlgItem(box, 0xFFFF));
                PostMessageW(box, WM_COMMAND, answer, 0);
            },
            [&] { click(answer == IDNO ? IDOK : IDC_APPLY); });
        EXPECT_EQ(question, L"Das ergibt 2400 Kacheln, 2 MB Modelle, 0.01 km2.\nMehr als 1000 "
                            L"Kacheln oder 1 GB Modelle laedt der Simulator nur langsam.\n"
                            L"Trotzdem erzeugen?\n");
        EXPECT_TRUE(IsWindowVisible(hwnd));
        // "Nein" stores and generates nothing; "Ja" goes on.
        EXPECT_EQ(capture.messages, answer == IDNO ? std::vector<std::string>{}
                                                   : std::vector<std::string>{
                                                         "[Terrain1]:Farbe muss gesetzt sein!\n"});
        EXPECT_EQ(readText(tmp.file("Demo.danl")), answer == IDNO ? danl : danl + "Faktor=1.0\r\n");
        EXPECT_FALSE(fileExists(tmp.file("Demo.anl")));
    }
}

TEST_F(RealDialog, ApplyKeepsTheDialogOpenAndCancelEndsIt) {
    openDemo();
    type(IDC_NAME, "");
    click(IDC_APPLY);
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0], "[Terrain1]:Name muss gesetzt sein!\n");
    EXPECT_EQ(readText(tmp.file("Demo.danl")),
              "[Terrain1]\r\nHoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\nPixelgroesse=10\r\n"
              "Faktor=1.0\r\n");
    EXPECT_TRUE(IsWindowVisible(hwnd));
    // A failed generation with "OK" keeps it open too.
    click(IDOK);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_FALSE(dialog->endedWithOk());
    // Settings that cannot be stored are not generated from either.
    type(IDC_NAME, "Demo");
    type(IDC_SETTINGS_PATH, "");
    capture.reset();
    click(IDC_APPLY);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Can't open !\n"});
    EXPECT_FALSE(fileExists(tmp.file(".anl")));

    click(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(dialog->endedWithOk());
    EXPECT_FALSE(fileExists(tmp.file("Demo.anl")));
}

TEST_F(RealDialog, ClicksWhileAMessageIsShownAreIgnored) {
    openDemo();
    type(IDC_NAME, "");
    // A message box has no owner: the dialog could take a click while it is
    // open, in the middle of the handler that showed it.
    std::vector<std::string> shown;
    setMessageSink([&](const std::string& text) {
        shown.push_back(text);
        if (shown.size() == 1) {
            click(IDC_APPLY);
            click(IDOK);
            click(IDCANCEL);
        }
    });
    click(IDC_APPLY);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "[Terrain1]:Name muss gesetzt sein!\n");
    EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(RealDialog, FileDialogsOfTheChoosers) {
    open(std::nullopt);
    writeDemoTerrain(tmp.file(""));
    // The height file is opened in the current folder, which is the folder
    // of the loaded ".danl" (none is loaded here).
    changeFolder(tmp.path().string());
    // The height file: its filter, and the name without folder.
    EXPECT_EQ(choose(IDC_CHOOSE_HEIGHT, tmp.file("hoehe.bmp")),
              (std::vector<std::wstring>{L"Terragen Datei", L"Höhenbitmap", L"*.*"}));
    EXPECT_EQ(text(IDC_HEIGHT_PATH), "hoehe.bmp");
    EXPECT_TRUE(enabled(IDC_PIXEL_SIZE));
    // A cancelled choice changes nothing.
    EXPECT_EQ(choose(IDC_CHOOSE_COLOUR, ""), (std::vector<std::wstring>{L"Farbbitmap", L"*.*"}));
    EXPECT_EQ(text(IDC_COLOUR_PATH), "");
    // The settings file: chosen, loaded and shown.
    EXPECT_EQ(choose(IDC_CHOOSE_SETTINGS, tmp.file("Demo.danl")),
              (std::vector<std::wstring>{L"erw. Anlagen", L"*.*"}));
    EXPECT_EQ(texts({IDC_SETTINGS_PATH, IDC_COLOUR_PATH, IDC_MAX}),
              tmp.file("Demo.danl") + "|farbe.bmp|20.02");
    EXPECT_TRUE(capture.messages.empty());
    // A height file of another kind is reported and emptied.
    choose(IDC_CHOOSE_HEIGHT, tmp.file("gelaende.png"));
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Falsche Endung: gelaende.png\n"});
    EXPECT_EQ(text(IDC_HEIGHT_PATH), "");
    EXPECT_FALSE(enabled(IDC_PIXEL_SIZE));
}
