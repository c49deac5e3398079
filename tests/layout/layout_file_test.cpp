#include "platform/platform.h"
#include "tests/layout/layout_fixtures.h"
#include "tests/support/test_support.h"

#include <bit>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

Layout loaded(const Bytes& file) {
    Layout layout;
    layout.loadFromMemory(file.data(), file.size());
    return layout;
}

Bytes image(Layout& layout) {
    Bytes out;
    EXPECT_TRUE(layout.writeImage(out));
    return out;
}

Bytes goldenSample() {
    return readBytes(testDataFile("layout/sample.anl"));
}

// A file with one entry of the given id and its tail.
FileFixture oneEntry(std::int16_t id) {
    FileFixture f;
    f.entries.push_back(entryBytes(id, "E", "zwei"));
    f.tails = {1, 2, 3, 4, 5, 6, 7};
    return f;
}

} // namespace

TEST(LayoutPrimitives, CountedStringsAndVerifyingReads) {
    ByteWriter w;
    EXPECT_TRUE(writeCountedString(w, std::string(255, 'a')));
    EXPECT_FALSE(writeCountedString(w, std::string(256, 'a')));
    EXPECT_EQ(w.size(), 256u);

    MessageCapture capture;
    const Bytes stored = {1, 'a', 200, 0xFE, 0xFF, 0xFF, 0xFF};
    ByteReader r(stored.data(), stored.size());
    // The length is compared modulo 256, then only the bytes stored.
    EXPECT_TRUE(expectString(r, std::string(257, 'a')));
    EXPECT_FALSE(expectByte(r, 0));
    EXPECT_FALSE(expectInt32(r, 2));
    EXPECT_EQ(capture.console, (std::vector<std::string>{"I: 200 S: 0\n", "I: -2 S: 2\n"}));
}

TEST(LayoutLoad, EmptyLayoutIs198BytesBothWays) {
    const Bytes empty(198, 0);
    Layout layout = loaded(empty);
    EXPECT_TRUE(layout.loaded);
    EXPECT_EQ(image(layout), empty);
    Layout fresh;
    EXPECT_EQ(image(fresh), empty);
}

TEST(LayoutLoad, EndChecksComeInTheirOrder) {
    MessageCapture capture;
    Bytes file = layoutFile(oneEntry(1));
    EXPECT_TRUE(loaded(file).loaded);

    file.push_back(0);
    EXPECT_FALSE(loaded(file).loaded);
    file.resize(file.size() - 2); // one byte of the last tail missing
    EXPECT_FALSE(loaded(file).loaded);
    EXPECT_EQ(capture.messages, (std::vector<std::string>{"Datei zu lang!\n", "Formatfehler!\n"}));
    EXPECT_TRUE(capture.console.empty());
}

TEST(LayoutLoad, RejectsFileCutAtAnyOffset) {
    // Every prefix of a valid file is a cut file: it fails with one message
    // and never with an unknown type made of the zeros read past the end. A
    // cut inside the properties' 20 extra bytes keeps its own message.
    const Bytes file = goldenSample();
    ASSERT_GT(file.size(), 198u);
    Layout whole = loaded(file);
    ASSERT_TRUE(whole.loaded);
    const std::size_t tails = 7 * whole.tailOrder().size();
    const std::size_t extraBytes = file.size() - tails - 24;
    for (std::size_t n = 0; n < file.size(); ++n) {
        SCOPED_TRACE(n);
        MessageCapture capture;
        Layout layout = loaded(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_FALSE(layout.loaded);
        const bool inExtraBytes = n >= extraBytes && n < extraBytes + 20;
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{inExtraBytes ? "Feher in Eigenschaften!\n"
                                                        : "Formatfehler!\n"});
        EXPECT_LE(capture.console.size(), 1u);
    }
}

TEST(LayoutLoad, VerifyingReadAtTheEndPrintsZeroAsTheValueRead) {
    // Our choice for a copy that cannot be read: it counts as a difference and
    // its line shows 0 as the value read; the load then reports the cut.
    MessageCapture capture;
    TrackFixture f;
    f.id = 4;
    Bytes file = layoutFile({{trackBytes(f)}, {}, {}, {}});
    file.resize(2 + 7 + f.name.size() + 36); // cut just before the id's copy
    EXPECT_FALSE(loaded(file).loaded);
    EXPECT_EQ(capture.console, std::vector<std::string>{"I: 0 S: 4\n"});
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Formatfehler!\n"});
}

TEST(LayoutLoad, FloatCopiesAgreeByBitPattern) {
    // -0.0 against 0.0 is a difference (the bits differ, and the file would
    // not save back as it was); a NaN agrees with its own pattern and keeps
    // it through load and save.
    MessageCapture capture;
    TrackFixture f;
    f.type = 8; // its second core is verified
    f.variant = 1;
    f.direction[2] = 0.0f;
    Bytes file = layoutFile({{trackBytes(f)}, {}, {}, {}});
    const std::size_t copy = findOccurrence(file, leFloat(f.direction[1]), 1) + 4;
    Bytes changed = file;
    changed[copy + 3] = 0x80;
    EXPECT_FALSE(loaded(changed).loaded);
    EXPECT_EQ(capture.console,
              std::vector<std::string>{"I: -0.000000 S: 0.000000 Diff: -0.000000e+00\n"});

    f.direction[0] = std::bit_cast<float>(0xFFC12345u);
    f.direction[1] = std::bit_cast<float>(0x7F800001u);
    file = layoutFile({{trackBytes(f)}, {}, {}, {}});
    Layout layout = loaded(file);
    ASSERT_TRUE(layout.loaded);
    EXPECT_EQ(image(layout), file);
}

TEST(LayoutLoad, NegativeCountIsAnEmptyList) {
    Bytes file(198, 0);
    file[0] = 0xFF;
    file[1] = 0xFF;
    Layout layout = loaded(file);
    EXPECT_TRUE(layout.loaded);
    EXPECT_EQ(layout.trackCount(), 0);
    EXPECT_EQ(image(layout), Bytes(198, 0));
}

TEST(LayoutLoad, CountLargerThanTheFileFailsWithoutAllocatingForIt) {
    MessageCapture capture;
    Bytes file(198, 0);
    file[2] = 0xFF;
    file[3] = 0x7F; // 32767 objects announced, none there
    Layout layout = loaded(file);
    EXPECT_FALSE(layout.loaded);
    EXPECT_LT(layout.objects.capacity(), 100u);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Formatfehler!\n"});
}

TEST(LayoutLoad, ObjectsHoldTheirYDirectionNegated) {
    FileFixture f;
    f.objects.push_back(objectBytes(1, "Haus", {1, 2, 3}, 1.0f, 0.5f, 0.0f, 100, 100));
    const Bytes file = layoutFile(f);
    Layout layout = loaded(file);
    ASSERT_TRUE(layout.loaded);
    EXPECT_EQ(layout.objects[0].direction.y, -0.5f);
    EXPECT_EQ(image(layout), file);

    // A y of 0.0 in memory is stored as the pattern of -0.0.
    layout.objects[0].direction.y = 0.0f;
    const Bytes written = image(layout);
    EXPECT_EQ(Bytes(written.begin() + 27, written.begin() + 31), (Bytes{0, 0, 0, 0x80}));
}

TEST(LayoutLoad, CopiesOfObjectAndEntryFieldsMustAgree) {
    MessageCapture capture;
    FileFixture f;
    Bytes object = objectBytes(1, "Haus", {1, 2, 3}, 1.0f, 0.5f, 0.0f, 100, 100);
    object[2 + 5 + 24 + 1] = 'h'; // the copy differs in case only
    f.objects.push_back(object);
    EXPECT_FALSE(loaded(layoutFile(f)).loaded);
    EXPECT_TRUE(capture.console.empty());

    FileFixture e = oneEntry(9);
    e.entries[0][4] = 8; // the id's copy
    EXPECT_FALSE(loaded(layoutFile(e)).loaded);
    EXPECT_EQ(capture.console, std::vector<std::string>{"I: 8 S: 9\n"});
    e = oneEntry(9);
    e.entries[0][59] = 'e'; // the name's copy
    EXPECT_FALSE(loaded(layoutFile(e)).loaded);
    EXPECT_EQ(capture.console.size(), 1u);
    EXPECT_TRUE(capture.messages.empty());
}

TEST(LayoutLoad, PropertiesBlockChecks) {
    MessageCapture capture;
    Bytes file(198, 0);
    file[6 + 160 + 7] = 1; // second separator
    EXPECT_FALSE(loaded(file).loaded);
    EXPECT_EQ(capture.console, std::vector<std::string>{"I: 1 S: 0\n"});
    EXPECT_TRUE(capture.messages.empty());

    file.assign(6 + 160 + 8 + 19, 0); // 19 of the 20 extra bytes
    EXPECT_FALSE(loaded(file).loaded);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Feher in Eigenschaften!\n"});
}

TEST(LayoutTails, OneTailPerIdInAscendingOrder) {
    Layout layout;
    for (int id : {7, 3, 3, 0, 30000}) {
        layout.entries.emplace_back();
        layout.entries.back().id = static_cast<std::int16_t>(id);
    }
    EXPECT_EQ(layout.tailOrder(), (std::vector<std::size_t>{1, 0}));

    // The sort agrees with walking nextEntryIndex from key 0.
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        layout.entries.resize(rng() % 40);
        for (auto& e : layout.entries)
            e.id = static_cast<std::int16_t>(static_cast<int>(rng() % 12) - 2 +
                                             (rng() % 5 == 0 ? 29995 : 0));
        std::vector<std::size_t> walked;
        std::int32_t key = 0;
        while (auto next = layout.nextEntryIndex(key))
            walked.push_back(*next);
        EXPECT_EQ(key, EntryTailLimit);
        EXPECT_EQ(layout.tailOrder(), walked);
    }
}

TEST(LayoutTails, RemovedEntriesHaveNoTailAndAreNotWritten) {
    FileFixture f;
    f.entries = {entryBytes(0, "weg", ""), entryBytes(2, "da", "")};
    f.tails = {9, 9, 9, 9, 8, 7, 7};
    Layout layout = loaded(layoutFile(f));
    ASSERT_TRUE(layout.loaded);
    EXPECT_EQ(layout.entries[0].tail.tailInt, 0);
    EXPECT_EQ(layout.entries[1].tail.tailShort, 0x0707);
    f.entries.erase(f.entries.begin());
    EXPECT_EQ(image(layout), layoutFile(f));
}

TEST(LayoutSave, RoundTripIsByteIdentical) {
    const Bytes golden = goldenSample();
    Layout layout = loaded(golden);
    ASSERT_TRUE(layout.loaded);
    TempFolder folder;
    ASSERT_TRUE(layout.save(folder.file("kopie.anl")));
    EXPECT_EQ(readBytes(folder.file("kopie.anl")), golden);
}

TEST(LayoutSave, WritesTheSameBytesOnEveryBuild) {
    // tests/data/layout/sample.anl was written by the native build from
    // sampleLayout(); the Windows build must write the very same bytes.
    TempFolder folder;
    Layout layout = sampleLayout();
    ASSERT_TRUE(layout.save(folder.file("sample.anl")));
    EXPECT_EQ(readBytes(folder.file("sample.anl")), goldenSample());
    // The save moved the buffer stop with its track and dropped the duplicate.
    EXPECT_EQ(layout.objects[2].position.z, 80);
    EXPECT_EQ(layout.objects[4].id, 0);
}

TEST(LayoutSave, RefusalsAndFailuresLeaveTheOldFile) {
    MessageCapture capture;
    TempFolder folder;
    const std::string path = folder.file("alt.anl");
    const Bytes old(198, 0);
    writeBytes(path, old);

    Layout layout;
    layout.objects.resize(2);
    layout.objects[1].id = 2;
    layout.objects[1].path = std::string(256, 'p');
    EXPECT_FALSE(layout.save(path));
    EXPECT_EQ(capture.messages.back(), std::string(256, 'p') + ": Text zu lang!\n");
    layout.objects[1].path.resize(255); // the longest text that fits

    layout.tracks.resize(1);
    layout.tracks[0].id = 1;
    layout.tracks[0].name = "Neu";
    EXPECT_FALSE(layout.save(path));
    EXPECT_EQ(capture.messages.back(), "Neu: Unbekannter Typ 0!\n");
    layout.tracks.clear();

    layout.objects.resize(32768);
    for (std::size_t i = 0; i < layout.objects.size(); ++i) {
        layout.objects[i].id = 1;
        layout.objects[i].position.x = static_cast<std::int32_t>(i);
    }
    EXPECT_FALSE(layout.save(path));
    EXPECT_EQ(capture.messages.back(), "Zu viele Objekte (32768)!\n");
    layout.objects.resize(2);
    layout.objects[0].id = 0;

    setWriteFaultForTesting(WriteFault::DiskFull, 10);
    EXPECT_FALSE(layout.save(path));
    EXPECT_EQ(capture.messages.back(), "Fehler beim Schreiben von " + path + "!\n");
    EXPECT_EQ(capture.messages.size(), 4u);
    EXPECT_EQ(readBytes(path), old);

    EXPECT_TRUE(layout.save(path));
    EXPECT_EQ(readBytes(path).size(), 198u + 36 + 2 * 255);
}

TEST(LayoutSave, ObjectsAllRemovedSaveACountOfZero) {
    Layout layout;
    layout.objects.resize(3);
    layout.objects[1].path = "x";
    EXPECT_EQ(image(layout), Bytes(198, 0));
}

TEST(LayoutSave, CamerasDefaultToTheStandardView) {
    CameraRecord camera;
    camera.position = {1, 2, 3};
    camera.setDefault();
    ByteWriter w;
    camera.write(w);
    const Bytes expected = {0x9D, 0xC4, 0x68, 0x3F, 0x4C, 0xB0, 0xD0, 0x3E, 0x74, 0xF0, 0xAC,
                            0xBD, 0x4C, 0xB9, 0xFF, 0xFF, 0x9C, 0xE6, 0xFF, 0xFF, 0xD0, 0x07,
                            0x00, 0x00, 0x26, 0x00, 0x00, 0x00, 0x60, 0xB8, 0x00, 0x00};
    EXPECT_EQ(w.buffer(), expected);
}

TEST(LayoutLoad, OpenFailureShowsThePath) {
    MessageCapture capture;
    TempFolder folder;
    Layout layout("Name");
    layout.load(folder.file("fehlt.anl"));
    EXPECT_FALSE(layout.loaded);
    EXPECT_EQ(layout.name, "Name");
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Can't open " + folder.file("fehlt.anl") + "!\n"});
}

TEST(LayoutLoad, MangledFilesNeverMisbehave) {
    // Random byte changes to a valid file: whatever loads saves back to a
    // file that loads again; nothing crashes or reads out of bounds.
    MessageCapture capture;
    const Bytes golden = goldenSample();
    std::mt19937 rng(4711);
    for (int round = 0; round < 400; ++round) {
        Bytes file = golden;
        for (int k = 0; k < 3; ++k)
            file[rng() % file.size()] = static_cast<std::uint8_t>(rng());
        Layout layout = loaded(file);
        if (!layout.loaded) continue;
        Bytes again;
        if (!layout.writeImage(again)) continue;
        EXPECT_TRUE(loaded(again).loaded);
    }
}
