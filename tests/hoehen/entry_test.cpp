#include "hoehen/entry.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

int runEntry(std::vector<std::string> args) {
    std::vector<char*> argv;
    static std::string program = "zumt_hoehen";
    argv.push_back(program.data());
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return hoehenMain(static_cast<int>(args.size() + 1), argv.data());
}

class HoehenEntry : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    // The layout path in the system's form (backslashes on Windows).
    std::string layout(const std::string& name) const {
        std::string p = tmp.file(name);
        if (platformIsWindows())
            for (char& c : p)
                if (c == '/') c = '\\';
        return p;
    }
};

} // namespace

TEST_F(HoehenEntry, RefusesMissingAndWrongArguments) {
    EXPECT_EQ(runEntry({}), 1);
    EXPECT_TRUE(capture.messages.empty());

    struct Case {
        const char* arg;
    } cases[] = {{"Test.ANL"}, {"Test"}, {"Test.anl.bak"}, {"D:\\Daten.alt\\Test"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arg);
        capture.reset();
        EXPECT_EQ(runEntry({c.arg}), 1);
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{std::string("Falscher Dateityp: ") + c.arg + "!\n"});
    }
}

TEST_F(HoehenEntry, MissingSettingsGiveTwoMessages) {
    for (const char* ext : {".anl", ".danl"}) {
        SCOPED_TRACE(ext);
        capture.reset();
        std::string arg = layout(std::string("Fehlt") + ext);
        EXPECT_EQ(runEntry({arg}), 1);
        EXPECT_EQ(capture.messages,
                  (std::vector<std::string>{"Can't open " + layout("Fehlt.danl") + "!\n",
                                            "[Terrain1]:Hoehe muss gesetzt sein!\n"}));
    }
}

TEST_F(HoehenEntry, ChecksTheHeightFileAndPixelSize) {
    struct Case {
        const char* danl;
        const char* message;
    } cases[] = {
        {"[Terrain1]\nHoehe=terrain.TER\n", "Falscher Dateityp fuer Hoehe: terrain.TER!\n"},
        {"[Terrain1]\nHoehe=terrain\n", "Falscher Dateityp fuer Hoehe: terrain!\n"},
        {"[Terrain1]\nHoehe=h.png\n", "Falscher Dateityp fuer Hoehe: h.png!\n"},
        {"[Terrain1]\nHoehe=h.bmp\n", "Bitte Pixelgroesse angeben!\n"},
        {"[Terrain1]\nHoehe=h.bmp\nPixelgroesse=0.004\n", "Bitte Pixelgroesse angeben!\n"},
        {"[Terrain1]\nHoehe=h.bmp\nPixelgroesse=abc\n", "Bitte Pixelgroesse angeben!\n"},
        {"[terrain1]\nHoehe=h.ter\n", "[Terrain1]:Hoehe muss gesetzt sein!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.danl);
        capture.reset();
        writeText(tmp.file("Test.danl"), c.danl);
        for (const char* arg : {"Test.anl", "Test.danl"}) {
            capture.reset();
            EXPECT_EQ(runEntry({layout(arg)}), 1);
            EXPECT_EQ(capture.messages, std::vector<std::string>{c.message});
        }
    }
}

TEST_F(HoehenEntry, ChangesIntoTheLayoutFolder) {
    std::filesystem::create_directory(tmp.path() / "anlagen");
    writeText(tmp.file("anlagen/Test.danl"), "[Terrain1]\nHoehe=x.png\n");
    EXPECT_EQ(runEntry({layout("anlagen/Test.anl")}), 1);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(tmp.path() / "anlagen"));
}

TEST_F(HoehenEntry, BuildsTheHeightSourceInTheLayoutFolder) {
    // The height file is taken relative to the layout's folder; a file that
    // is missing or of the wrong kind is named by its reader, and the layout
    // is then not even looked for. With a usable source the layout, missing
    // here, is looked for in that folder too.
    std::filesystem::create_directories(tmp.path() / "anlagen" / "terrain");
    writeBytes(tmp.file("anlagen/terrain/h.bmp"), readBytes(testDataFile("im_height_4x3.bmp")));
    writeBytes(tmp.file("anlagen/terrain/h.ter"), readBytes(testDataFile("gdal_3x3_30m.ter")));
    writeBytes(tmp.file("anlagen/terrain/b.ter"), readBytes(testDataFile("im_height_4x3.bmp")));
    struct Case {
        const char* danl;
        std::vector<std::string> messages;
    } cases[] = {
        {"[Terrain1]\nHoehe=terrain\\fehlt.bmp\nPixelgroesse=0.5\n",
         {"Can't open terrain\\fehlt.bmp!\n"}},
        {"[Terrain1]\nHoehe=terrain\\fehlt.ter\n", {"Can't open terrain\\fehlt.ter!\n"}},
        {"[Terrain1]\nHoehe=terrain\\b.ter\n", {"Keyword TERRAGEN missing!\n"}},
        {"[Terrain1]\nHoehe=terrain\\h.bmp\nPixelgroesse=0.5\n", {"Can't open Test.anl!\n"}},
        {"[Terrain1]\nHoehe=terrain\\h.ter\n", {"Can't open Test.anl!\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.danl);
        capture.reset();
        writeText(tmp.file("anlagen/Test.danl"), c.danl);
        EXPECT_EQ(runEntry({layout("anlagen/Test.anl")}), 1);
        EXPECT_EQ(capture.messages, c.messages);
    }
}
