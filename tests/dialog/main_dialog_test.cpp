// The dialog's logic against a fake window that keeps the controls' texts
// and enabled states and records what the dialog asks of it.
#include "dialog/file_filter.h"
#include "dialog/main_dialog.h"
#include "generator/host_folder.h"
#include "platform/platform.h"
#include "tests/dialog/demo_terrain.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace {

class FakeWindow : public DialogWindow {
  public:
    DialogTexts controls;                                 // what the controls show
    std::map<int, bool> disabled{{IDC_PIXEL_SIZE, true}}; // as in the template
    std::vector<std::string> calls;
    std::vector<FileRequest> requests;
    std::optional<FileChoice> choice; // the user's answer to the next file dialog
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;

    void readTexts(DialogTexts& texts) override {
        texts = controls;
        calls.push_back("read");
    }
    void writeTexts(const DialogTexts& texts) override {
        controls = texts;
        calls.push_back("write");
    }
    void enableControl(int id, bool enabled) override { disabled[id] = !enabled; }
    void prepareFrame() override { calls.push_back("frame"); }
    std::optional<FileChoice> chooseFile(const FileRequest& request) override {
        requests.push_back(request);
        calls.push_back("choose");
        return choice;
    }
    void beginWaitCursor() override { calls.push_back("wait"); }
    void endWaitCursor() override { calls.push_back("endWait"); }
    void showProgress(std::int64_t done, std::int64_t total) override {
        if (progress.empty()) calls.push_back("progress");
        progress.emplace_back(done, total);
    }
    void endProgress() override { calls.push_back("endProgress"); }
    void endDialogOk() override { calls.push_back("endOk"); }

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

TEST_F(Dialog, StartWithArgumentFillsEveryField) {
    startWithDemo();
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_EQ((std::vector<std::string>{"write", "frame", "write"}), window.calls);
    const DialogTexts& c = window.controls;
    EXPECT_EQ(c.settingsPath, demo());
    EXPECT_EQ(c.nameText, "Demo");
    EXPECT_EQ(c.heightPath, "hoehe.bmp");
    EXPECT_EQ(c.colourPath, "farbe.bmp");
    EXPECT_EQ(c.pixelSizeText, "10");
    EXPECT_EQ(c.factorText, "1.0");
    EXPECT_EQ(c.shiftText, "");
    // -500 .. 1500 cm with Faktor 1.0 and the default shift.
    EXPECT_EQ(c.minText, "0.02");
    EXPECT_EQ(c.maxText, "20.02");
    // A bitmap needs its pixel size.
    EXPECT_TRUE(window.enabled(IDC_PIXEL_SIZE));
    EXPECT_TRUE(window.enabled(IDC_MIN));
    // The current folder is the one of the ".danl".
    EXPECT_TRUE(fileExists("hoehe.bmp"));
}

TEST_F(Dialog, RangeAndMappingAreTwoViewsOfOneRule) {
    startWithDemo();
    window.type(dialog, IDC_MIN, "0");
    window.type(dialog, IDC_MAX, "40");
    EXPECT_EQ(window.controls.factorText, "2.0000");
    EXPECT_EQ(window.controls.shiftText, "10.00");
    // The typed texts stay as typed.
    EXPECT_EQ(window.controls.minText, "0");
    EXPECT_EQ(window.controls.maxText, "40");

    window.type(dialog, IDC_FACTOR, "1");
    EXPECT_EQ(window.controls.minText, "5.00");
    EXPECT_EQ(window.controls.maxText, "25.00");
    // An empty shift lays the lowest point 2 cm above the base plate.
    window.type(dialog, IDC_SHIFT, "");
    EXPECT_EQ(window.controls.minText, "0.02");
    EXPECT_EQ(window.controls.maxText, "20.02");
    EXPECT_EQ(window.controls.shiftText, "");
}

TEST_F(Dialog, FactorBelowOneThousandthCountsAsOneAndKeepsItsText) {
    startWithDemo();
    for (const char* factor : {"0", "abc", "0.0009", "-2"}) {
        SCOPED_TRACE(factor);
        window.type(dialog, IDC_FACTOR, factor);
        EXPECT_EQ(window.controls.factorText, factor);
        EXPECT_EQ(window.controls.minText, "0.02");
        EXPECT_EQ(window.controls.maxText, "20.02");
    }
}

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
    writeFlatHeightBitmap(tmp.file("hoehe.bmp"), 300);
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
    EXPECT_EQ((std::vector<std::string>{"write", "frame"}), window.calls);
    window.type(dialog, IDC_MIN, "5");
    EXPECT_EQ(window.controls.minText, "");
    EXPECT_EQ(window.controls.maxText, "");
    window.controls.maxText = "8";
    window.type(dialog, IDC_FACTOR, "2");
    EXPECT_EQ(window.controls.maxText, "");
    EXPECT_EQ(window.controls.factorText, "2");
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(Dialog, OkStoresGeneratesAndEndsInThisOrder) {
    startWithDemo();
    writeText(demo(), "[Terrain1]\r\nKachelgroesse=400\r\nName=Demo\r\nHoehe=hoehe.bmp\r\n"
                      "Farbe=farbe.bmp\r\nPixelgroesse=10\r\n\r\n[Andere]\r\nX=1\r\n");
    dialog.loadSettings();
    window.writeTexts(dialog);
    window.type(dialog, IDC_MIN, "0");
    window.type(dialog, IDC_MAX, "40");
    window.calls.clear();
    dialog.OnOK();
    EXPECT_TRUE(capture.messages.empty()) << capture.messages[0];
    EXPECT_EQ((std::vector<std::string>{"read", "wait", "progress", "endProgress", "read", "endOk",
                                        "endWait"}),
              window.calls);
    ASSERT_FALSE(window.progress.empty());
    EXPECT_EQ(window.progress.back(),
              std::make_pair(std::int64_t{DemoTiles}, std::int64_t{DemoTiles}));
    // The file keeps what the dialog does not bind, in its order.
    EXPECT_EQ(readText(demo()), "[Terrain1]\r\nKachelgroesse=400\r\nName=Demo\r\n"
                                "Hoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\nPixelgroesse=10\r\n"
                                "Faktor=2.0000\r\nVerschiebung=10.00\r\n\r\n[Andere]\r\nX=1\r\n");
    EXPECT_TRUE(fileExists(tmp.file("Demo.anl")));
    EXPECT_TRUE(fileExists((tmp.path() / "Demo" / "bmp0_0.mod").string()));
    EXPECT_TRUE(fileExists((tmp.path() / "Demo" / "bmp5_3.mod").string()));
}

TEST_F(Dialog, FailedGenerationKeepsTheDialogOpen) {
    startWithDemo();
    window.controls.colourPath = "fehlt.bmp";
    window.calls.clear();
    dialog.OnOK();
    EXPECT_EQ((std::vector<std::string>{"read", "wait", "endProgress", "endWait"}), window.calls);
    ASSERT_EQ(capture.messages.size(), 2u);
    EXPECT_EQ(capture.messages[1], "Groessen stimmen nicht überein!\n");
    // The settings were stored all the same.
    EXPECT_NE(readText(demo()).find("Farbe=fehlt.bmp\r\n"), std::string::npos);
    EXPECT_FALSE(fileExists(tmp.file("Demo.anl")));
}

TEST_F(Dialog, ApplyStaysOpenWhateverTheGeneratorSays) {
    startWithDemo();
    // A layout of the user's is kept, and the user is told where.
    writeText(tmp.file("Demo.anl"), "alt");
    window.calls.clear();
    dialog.onApply();
    EXPECT_EQ((std::vector<std::string>{"read", "wait", "progress", "endProgress", "endWait"}),
              window.calls);
    EXPECT_EQ(readText(tmp.file("Demo.anl.bak")), "alt");
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Die alte Anlage ist gesichert als " +
                                                         layoutPathFor(demo()) + ".bak\n"});
}

TEST_F(Dialog, EmptyFieldsRemoveTheirKeysAndTheSectionLineStays) {
    startWithDemo();
    window.controls.nameText = "";
    window.controls.factorText = "";
    window.controls.pixelSizeText = "";
    dialog.onApply();
    EXPECT_EQ(readText(demo()), "[Terrain1]\r\nHoehe=hoehe.bmp\r\nFarbe=farbe.bmp\r\n");
    // The generator stopped for the missing pixel size, before any file.
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0], "Bitte Pixelgroesse angeben!\n");
    EXPECT_FALSE(fileExists(tmp.file("Demo.anl")));
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

TEST_F(Dialog, HeightFileOfWrongKindOrUnusable) {
    startWithDemo();
    window.choice = FileChoice{"C:\\x\\gelaende.png", "gelaende.png"};
    dialog.chooseHeightFile();
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0], "Falsche Endung: gelaende.png\n");
    EXPECT_EQ(window.controls.heightPath, "");
    // The previous source stays in use for Min and Max.
    window.type(dialog, IDC_FACTOR, "2");
    EXPECT_EQ(window.controls.minText, "0.02");
    EXPECT_EQ(window.controls.maxText, "40.02");

    // A file that cannot be read: its reader's message, an emptied field,
    // an empty source and the pixel size disabled.
    capture.reset();
    window.choice = FileChoice{tmp.file("fehlt.ter"), "fehlt.ter"};
    dialog.chooseHeightFile();
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(window.controls.heightPath, "");
    EXPECT_FALSE(window.enabled(IDC_PIXEL_SIZE));
    window.type(dialog, IDC_FACTOR, "1");
    EXPECT_EQ(window.controls.minText, "");
}

TEST_F(Dialog, ChoosersUseTheirFiltersAndBareFileNames) {
    startWithDemo();
    // Typed but not yet read: the height and colour choosers replace it.
    window.controls.nameText = "Getippt";
    window.choice = FileChoice{"D:\\Texturen\\farbe2.bmp", "farbe2.bmp"};
    dialog.chooseColourFile();
    EXPECT_EQ(window.controls.colourPath, "farbe2.bmp");
    EXPECT_EQ(window.controls.nameText, "Demo");
    window.choice = FileChoice{tmp.file("hoehe.bmp"), "hoehe.bmp"};
    dialog.chooseHeightFile();
    ASSERT_EQ(window.requests.size(), 2u);
    EXPECT_EQ(window.requests[0].filter, "Farbbitmap|*.bmp|*.*|");
    EXPECT_EQ(window.requests[0].initialName, "");
    EXPECT_EQ(window.requests[1].filter, "Terragen Datei|*.ter|Höhenbitmap|*.bmp|*.*|");

    // Cancelled: nothing changes, nothing is read or written.
    window.choice.reset();
    window.calls.clear();
    dialog.chooseHeightFile();
    dialog.chooseColourFile();
    EXPECT_EQ((std::vector<std::string>{"choose", "choose"}), window.calls);

    // The settings chooser reads the fields first and starts at the path.
    window.controls.nameText = "Getippt";
    dialog.chooseSettingsFile();
    EXPECT_EQ(window.requests.back().initialName, demo());
    EXPECT_EQ(window.requests.back().filter, "erw. Anlagen|*.danl|*.*|");
    EXPECT_EQ(dialog.nameText, "Getippt");
}

TEST_F(Dialog, SettingsChooserStartsInTheHostsLayoutFolder) {
    dialog.OnInitDialog(std::nullopt);
    dialog.chooseSettingsFile();
    ASSERT_EQ(window.requests.size(), 1u);
#ifdef _WIN32
    // Whatever the registry of this machine names.
    const std::optional<std::string> host = hostFolder();
    EXPECT_EQ(window.requests[0].initialName, (host ? *host : "") + "Anlagen\\*.danl");
#else
    EXPECT_EQ(window.requests[0].initialName, "Anlagen\\*.danl");
    setenv("ZUMT_HOST_DIR", "D:\\Programme\\Host\\", 1);
    forgetHostFolder();
    dialog.chooseSettingsFile();
    EXPECT_EQ(window.requests[1].initialName, "D:\\Programme\\Host\\Anlagen\\*.danl");
    unsetenv("ZUMT_HOST_DIR");
    forgetHostFolder();
#endif
    // A chosen ".danl" is loaded and shown.
    writeDemoTerrain(folder());
    window.choice = FileChoice{demo(), "Demo.danl"};
    dialog.chooseSettingsFile();
    EXPECT_EQ(window.controls.settingsPath, demo());
    EXPECT_EQ(window.controls.maxText, "20.02");
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

TEST_F(Dialog, RelativeSettingsPathStillNamesItsFile) {
    makeFolder(tmp.file("anlagen"));
    writeDemoTerrain(tmp.file("anlagen") + (platformIsWindows() ? "\\" : "/"));
    changeFolder(folder());
    const std::string relative = platformIsWindows() ? "anlagen\\Demo.danl" : "anlagen/Demo.danl";
    EXPECT_EQ(anchoredSettingsPath("Demo.danl"), "Demo.danl");
    dialog.OnInitDialog(relative);
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_EQ(window.controls.nameText, "Demo");
    EXPECT_EQ(window.controls.maxText, "20.02");
    dialog.onApply();
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_TRUE(fileExists(tmp.file("anlagen") + "/Demo.anl"));
}

TEST(DialogFilter, BarFormBecomesTheWin32Form) {
    using namespace std::string_literals;
    EXPECT_EQ(win32FilterText("erw. Anlagen|*.danl|*.*|"), "erw. Anlagen\0*.danl\0*.*\0*.*\0\0"s);
    EXPECT_EQ(win32FilterText("Terragen Datei|*.ter|Höhenbitmap|*.bmp|*.*|"),
              "Terragen Datei\0*.ter\0Höhenbitmap\0*.bmp\0*.*\0*.*\0\0"s);
    EXPECT_EQ(win32FilterText("Alle|*.*||"), "Alle\0*.*\0\0"s);
    EXPECT_EQ(win32FilterText("A|*.a|B|*.b"), "A\0*.a\0B\0*.b\0\0"s);
    EXPECT_EQ(win32FilterText(""), "\0\0"s);
}
