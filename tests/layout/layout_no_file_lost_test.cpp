// A layout that cannot be saved whole is not saved at all: the old file
// keeps its bytes and still loads.
#include "layout/layout.h"
#include "platform/platform.h"
#include "tests/layout/layout_fixtures.h"
#include "tests/support/no_file_lost.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

TEST(LayoutSave, NeverLosesTheOldFile) {
    Layout layout = sampleLayout();
    expectNoFileLost("Demo.anl", [&](const std::string& path) { return layout.save(path); });
}

TEST(LayoutSave, AFailedSaveInPlaceLeavesTheLayoutLoadable) {
    // What zumt_hoehen does: load a layout, change its heights and save it
    // under its own name.
    TempFolder folder;
    MessageCapture capture;
    const std::string path = folder.file("Test.anl");
    const Bytes original = readBytes(testDataFile("layout/sample.anl"));
    writeBytes(path, original);
    Layout layout;
    layout.load(path);
    ASSERT_TRUE(layout.loaded);
    for (auto& t : layout.tracks) {
        t.start.z += 100;
        t.end.z += 100;
    }

    const std::pair<WriteFault, std::size_t> faults[] = {
        {WriteFault::DiskFull, 0},
        {WriteFault::DiskFull, original.size() / 2},
        {WriteFault::MoveFails, 0},
        {WriteFault::CannotCreate, 0}};
    for (auto [fault, bytes] : faults) {
        setWriteFaultForTesting(fault, bytes);
        EXPECT_FALSE(layout.save(path));
        EXPECT_EQ(readBytes(path), original);
        Layout back;
        back.load(path);
        EXPECT_TRUE(back.loaded);
    }
    EXPECT_EQ(capture.messages,
              (std::vector<std::string>{"Fehler beim Schreiben von " + path + "!\n",
                                        "Fehler beim Schreiben von " + path + "!\n",
                                        "Fehler beim Schreiben von " + path + "!\n",
                                        "Can't open " + path + "!\n"}));

    // The failures changed nothing in memory that the next save would miss.
    EXPECT_TRUE(layout.save(path));
    Layout back;
    back.load(path);
    ASSERT_TRUE(back.loaded);
    ASSERT_EQ(back.tracks.size(), layout.tracks.size());
    for (std::size_t i = 0; i < back.tracks.size(); ++i) {
        EXPECT_EQ(back.tracks[i].start.z, layout.tracks[i].start.z);
        EXPECT_EQ(back.tracks[i].end.z, layout.tracks[i].end.z);
    }
}

TEST(LayoutSave, ARefusedSaveLeavesTheOldFile) {
    // Refused before a byte is written: a text too long for the format.
    TempFolder folder;
    MessageCapture capture;
    const std::string path = folder.file("Test.anl");
    const Bytes original = readBytes(testDataFile("layout/sample.anl"));
    writeBytes(path, original);
    Layout layout;
    layout.load(path);
    ASSERT_TRUE(layout.loaded);
    layout.objects[0].path = std::string(256, 'p');
    EXPECT_FALSE(layout.save(path));
    EXPECT_EQ(readBytes(path), original);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{std::string(256, 'p') + ": Text zu lang!\n"});
}
