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
