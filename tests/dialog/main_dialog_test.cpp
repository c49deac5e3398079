// The dialog's logic against a fake window that keeps the controls' texts
// and enabled states and records what the dialog asks of it: what the real
// dialog under Wine (dialog_win32_test.cpp) does not show, on every build.
#include "dialog/main_dialog.h"
#include "generator/host_folder.h"
#include "platform/platform.h"
#include "tests/dialog/demo_terrain.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace {

class FakeWindow : public DialogWindow {
  public:
    DialogTexts controls;                                 // what the controls show
    std::map<int, bool> disabled{{IDC_PIXEL_SIZE, true}}; // as in the template
    std::optional<FileChoice> choice; // the user's answer to the next file dialog

    void readTexts(DialogTexts& texts) override { texts = controls; }
    void writeTexts(const DialogTexts& texts) override { controls = texts; }
    void enableControl(int id, bool enabled) override { disabled[id] = !enabled; }
    void prepareFrame() override {}
    std::optional<FileChoice> chooseFile(const FileRequest&) override { return choice; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void showProgress(std::int64_t, std::int64_t) override {}
    void endProgress() override {}
    void endDialogOk() override {}

    bool enabled(int id) { return !disabled[id]; }
    // The user types into an edit: the text changes and the change
    // notification reaches the dialog.
    void type(MainDialog& dialog, int id, const std::string& text) {
        for (const TextBinding& b : TextBindings)
            if (b.controlId == id) controls.*b.text = text;
        if (id == IDC_FACTOR || id == IDC_SHIFT) dialog.onMappingEdited();
        if (id == IDC_MIN || id == IDC_MAX) dialog.onRangeEdited();
    }
};

class Dialog : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    FakeWindow window;
    MainDialog dialog{window};

    void SetUp() override {
#ifndef _WIN32
        unsetenv("ZUMT_HOST_DIR");
#endif
        forgetHostFolder();
    }
    std::string folder() const {
        return tmp.file("");
    }
    std::string demo() const {
        return tmp.file("Demo.danl");
    }
    // The demo terrain, loaded as by the program's argument.
    void startWithDemo() {
        writeDemoTerrain(folder());
        dialog.OnInitDialog(demo());
    }
};

} // namespace

TEST_F(Dialog, MaxNotAboveMinPutsTheRangeBack) {
    startWithDemo();
    window.type(dialog, IDC_MIN, "0");
    window.type(dialog, IDC_MAX, "40");
    for (const char* max : {"-3", "0", "abc"}) {
        SCOPED_TRACE(max);
        window.type(dialog, IDC_MAX, max);
        EXPECT_EQ(window.controls.factorText, "2.0000");
        EXPECT_EQ(window.controls.shiftText, "10.00");
        EXPECT_EQ(window.controls.minText, "0.00");
        EXPECT_EQ(window.controls.maxText, "40.00");
    }
}

TEST_F(Dialog, FlatTerrainDisablesMinAndMax) {
    writeDemoTerrain(folder());
    BitmapPlan flat(8, 6);
    flat.pixel = [](std::int32_t, std::int32_t) { return 10000 + 300; };
    writeBytes(tmp.file("hoehe.bmp"), makeBitmap(flat));
    dialog.OnInitDialog(demo());
    EXPECT_EQ(window.controls.minText, "0.02");
    EXPECT_EQ(window.controls.maxText, "0.02");
    EXPECT_FALSE(window.enabled(IDC_MIN));
    EXPECT_FALSE(window.enabled(IDC_MAX));
    // Min and Max give no mapping: they follow Faktor and Verschiebung.
    window.type(dialog, IDC_MIN, "7");
    EXPECT_EQ(window.controls.minText, "0.02");
    EXPECT_EQ(window.controls.factorText, "1.0");
    EXPECT_EQ(window.controls.shiftText, "");

    // A terrain with a range enables them again.
    writeDemoTerrain(folder());
    window.choice = FileChoice{tmp.file("hoehe.bmp"), "hoehe.bmp"};
    dialog.chooseHeightFile();
    EXPECT_TRUE(window.enabled(IDC_MIN));
    EXPECT_TRUE(window.enabled(IDC_MAX));
}

TEST_F(Dialog, WithoutHeightFileTypingEmptiesMinAndMax) {
    dialog.OnInitDialog(std::nullopt);
    window.type(dialog, IDC_MIN, "5");
    EXPECT_EQ(window.controls.minText, "");
    EXPECT_EQ(window.controls.maxText, "");
    window.controls.maxText = "8";
    window.type(dialog, IDC_FACTOR, "2");
    EXPECT_EQ(window.controls.maxText, "");
    EXPECT_EQ(window.controls.factorText, "2");
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(Dialog, OlderTerrainSectionIsRenamedOnlyWhenAlone) {
    writeDemoTerrain(folder(), "");
    writeText(demo(), "[Terrain]\r\nHoehe=hoehe.bmp\r\n");
    dialog.OnInitDialog(demo());
    EXPECT_EQ(window.controls.heightPath, "hoehe.bmp");
    EXPECT_EQ(window.controls.minText, "0.02");
    dialog.onApply();
    EXPECT_EQ(readText(demo()), "[Terrain1]\r\nHoehe=hoehe.bmp\r\nFaktor=1.0\r\n");

    writeText(demo(), "[Terrain]\r\nHoehe=alt.bmp\r\n\r\n[Terrain1]\r\nName=Neu\r\n");
    dialog.loadSettings();
    EXPECT_EQ(dialog.heightPath, "");
    EXPECT_EQ(dialog.nameText, "Neu");
    EXPECT_EQ(dialog.settings.hasSection("Terrain"), 1);
}

TEST_F(Dialog, LoadingFillsEachFieldAfresh) {
    startWithDemo();
    writeText(demo(), "[Terrain1]\r\nVerschiebung=1.50\r\nFaktor=2\r\n");
    dialog.loadSettings();
    EXPECT_EQ(dialog.shiftText, "1.50");
    EXPECT_EQ(dialog.factorText, "2");
    EXPECT_EQ(dialog.nameText, "");
    // Without a height file the previous source and Min and Max stay.
    EXPECT_EQ(dialog.minText, "0.02");
    ASSERT_TRUE(dialog.heightSource);

    writeText(tmp.file("Zweite.danl"), "[Terrain1]\r\nName=B\r\n");
    dialog.settingsPath = tmp.file("Zweite.danl");
    dialog.loadSettings();
    EXPECT_EQ(dialog.shiftText, "");
    EXPECT_EQ(dialog.factorText, "1.0");
    EXPECT_EQ(dialog.nameText, "B");

    // A ".danl" that does not exist yet: all empty, Faktor 1.0, no message.
    dialog.settingsPath = tmp.file("Neu.danl");
    dialog.loadSettings();
    EXPECT_EQ(dialog.nameText, "");
    EXPECT_EQ(dialog.factorText, "1.0");
    EXPECT_EQ(dialog.settings.count(), 0);
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(Dialog, RefusesSettingsPathsWithoutDanlExtension) {
    for (const char* path : {"D:\\Anlagen\\Test.anl", "Test.DANL", "Test", "a.danl\\Test"}) {
        SCOPED_TRACE(path);
        capture.reset();
        FakeWindow fresh;
        MainDialog d(fresh);
        d.OnInitDialog(std::string(path));
        ASSERT_EQ(capture.messages.size(), 1u);
        EXPECT_EQ(capture.messages[0], std::string("Falsche Endung: ") + path + "\n");
        EXPECT_EQ(fresh.controls.settingsPath, "");
        EXPECT_EQ(fresh.controls.factorText, "");
    }
    // A refused path leaves what was loaded before.
    startWithDemo();
    window.choice = FileChoice{"C:\\x\\Neu.txt", "Neu.txt"};
    dialog.chooseSettingsFile();
    EXPECT_EQ(window.controls.settingsPath, "");
    EXPECT_EQ(window.controls.nameText, "Demo");
    EXPECT_EQ(dialog.settings.count(), 6);
}

TEST_F(Dialog, ApplyWithoutSettingsPath) {
    startWithDemo();
    window.controls.settingsPath = "";
    dialog.onApply();
    // Settings that cannot be stored stop it before the generator.
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Can't open !\n"});
    EXPECT_FALSE(fileExists(tmp.file(".anl")));
}

TEST(DialogPaths, LayoutBesideTheSettings) {
    EXPECT_EQ(layoutPathFor("C:\\Anlagen\\Test.danl"), "C:\\Anlagen\\Test.anl");
    EXPECT_EQ(layoutPathFor(""), ".anl");
    EXPECT_EQ(layoutPathFor("Test"), "Test.anl");
    EXPECT_EQ(layoutPathFor(".danl"), ".danl.anl");
    EXPECT_EQ(layoutPathFor("C:\\a.b\\Test"), "C:\\a.anl");
}

TEST(DialogPaths, FolderOfTheSettings) {
    EXPECT_EQ(settingsFolder("C:\\Anlagen\\Test.danl"), "C:\\Anlagen");
    EXPECT_EQ(settingsFolder("C:\\Test.danl"), "C:\\");
    EXPECT_EQ(settingsFolder("\\Test.danl"), "\\");
    EXPECT_EQ(settingsFolder("Test.danl"), std::nullopt);
    if (!platformIsWindows()) {
        EXPECT_EQ(settingsFolder("/home/a/Test.danl"), "/home/a");
        EXPECT_EQ(settingsFolder("/Test.danl"), "/");
    } else {
        EXPECT_EQ(settingsFolder("a/Test.danl"), std::nullopt);
    }
}
