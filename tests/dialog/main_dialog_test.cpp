// The paths the dialog derives from the settings path.
#include "dialog/main_dialog.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

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
