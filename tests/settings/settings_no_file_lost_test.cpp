// A ".danl" that cannot be written whole is not written at all.
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "tests/support/no_file_lost.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

TEST(SettingsWrite, NeverLosesTheOldFile) {
    SettingsFile settings;
    settings.parse("[Terrain1]\nName=Berge\nHoehe=gelaende.ter\nFarbe=farben.bmp\n"
                   "Pixelgroesse=12.5\nFaktor=1.0\nVerschiebung=0.02\n");
    expectNoFileLost("Demo.danl", [&](const std::string& path) { return settings.write(path); });
}

TEST(SettingsWrite, AnEmptyStoreStillNeverLosesTheOldFile) {
    // An empty store makes an empty file, which the shared checks cannot
    // tell from a cut one; its final move can fail all the same.
    TempFolder folder;
    MessageCapture capture;
    const std::string path = folder.file("Leer.danl");
    writeText(path, "[Terrain1]\r\nHoehe=h.ter\r\n");
    SettingsFile empty;
    setWriteFaultForTesting(WriteFault::MoveFails);
    EXPECT_FALSE(empty.write(path));
    EXPECT_EQ(readText(path), "[Terrain1]\r\nHoehe=h.ter\r\n");
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Fehler beim Schreiben von " + path + "!\n"});
    EXPECT_TRUE(empty.write(path));
    EXPECT_EQ(readText(path), "");
}
