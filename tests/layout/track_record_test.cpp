#include "tests/layout/layout_fixtures.h"
#include "tests/support/test_support.h"

#include <bit>
#include <gtest/gtest.h>

namespace {

Layout loaded(const Bytes& file) {
    Layout layout;
    layout.loadFromMemory(file.data(), file.size());
    return layout;
}

Bytes saved(Layout& layout) {
    Bytes out;
    EXPECT_TRUE(layout.writeImage(out));
    return out;
}

Bytes fileWithTrack(const TrackFixture& f) {
    return layoutFile({{trackBytes(f)}, {}, {}, {}});
}

struct SizeCase {
    const char* what;
    TrackFixture fixture;
    std::size_t size;
};

std::vector<SizeCase> everyCode() {
    std::vector<SizeCase> cases;
    auto add = [&](const char* what, int code, std::string name, std::size_t size) {
        TrackFixture f;
        f.type = code;
        f.name = std::move(name);
        if (code >= 6 && code <= 9) f.variant = 0x0A0B0C0D;
        cases.push_back({what, f, size});
    };
    for (std::size_t n : {0u, 1u, 9u, 255u}) {
        const std::string name(n, 'N');
        add("code 1", 1, name, 62 + 2 * n);
        add("code 2", 2, name, 56 + 2 * n);
        add("code 7", 7, name, 66 + 2 * n);
        add("code 3", 3, name, 70 + 2 * n);
        add("code 4", 4, name, 78 + 2 * n);
        add("code 8", 8, name, 129 + 3 * n);
        add("code 9", 9, name, 200 + 4 * n);
        for (std::size_t t : {0u, 3u}) {
            add("code 6", 6, name, 67 + 2 * n + t);
            cases.back().fixture.text2 = std::string(t, 'T');
        }
        // Code 11: no extra slots; three of which two are used; 18 all used.
        for (const auto& presence : std::vector<std::vector<std::int32_t>>{
                 {}, {1, 0, 1}, std::vector<std::int32_t>(18, 1)}) {
            std::size_t k = 0;
            for (std::int32_t p : presence)
                k += p != 0;
            add("code 11", 11, name, 189 + 3 * n + 4 * presence.size() + 6 * k);
            cases.back().fixture.presence = presence;
        }
    }
    return cases;
}

} // namespace

TEST(TrackRecordFormat, EveryCodeHasItsSizeLoadsAndSavesByteForByte) {
    MessageCapture capture;
    for (const SizeCase& c : everyCode()) {
        SCOPED_TRACE(std::string(c.what) + " name " + std::to_string(c.fixture.name.size()));
        const TrackFixture& f = c.fixture;
        const Bytes record = trackBytes(f);
        EXPECT_EQ(record.size(), c.size);
        const Bytes file = fileWithTrack(f);
        Layout layout = loaded(file);
        ASSERT_TRUE(layout.loaded);
        ASSERT_EQ(layout.trackCount(), 1);
        const TrackRecord& t = layout.tracks[0];
        EXPECT_EQ(t.id, f.id);
        EXPECT_EQ(t.name, f.name);
        EXPECT_EQ(t.type, f.type);
        EXPECT_EQ(t.variant, f.variant);
        EXPECT_EQ(t.direction.y, f.direction[1]);
        EXPECT_EQ(t.end.z, f.end[2]);
        EXPECT_EQ(t.connections[0].peerEnd, f.peer[0][1]);
        // A code 2 record has no slot 1 anywhere: it stays zero.
        EXPECT_EQ(t.connections[1].peerId, f.type == 2 ? 0 : f.peer[1][0]);
        EXPECT_EQ(t.text2, f.text2);
        EXPECT_EQ(t.storedSize(), c.size); // what the save reserves for it
        if (f.type == 11) {
            EXPECT_EQ(t.connectionCount, static_cast<int>(f.presence.size()) + 2);
            EXPECT_EQ(t.pointB.y, f.pointB[1]);
            EXPECT_EQ(t.pointC.z, f.pointC[2]);
            EXPECT_EQ(t.realValue, f.realValue);
            EXPECT_EQ(t.setting1, f.setting1);
            EXPECT_EQ(t.setting2, f.setting2);
        }
        EXPECT_EQ(saved(layout), file);
    }
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_TRUE(capture.console.empty());
}

TEST(TrackRecordFormat, CodeOneFieldsStandAtTheirOffsets) {
    TrackRecord t;
    t.id = 0x0102;
    t.name = "A";
    t.type = 1;
    t.connectionCount = 2;
    t.direction = {1.0f, 2.0f, 3.0f};
    t.start = {4, 5, 6};
    t.end = {7, 8, 9};
    t.connections[0] = {0x1111, 0x2222};
    t.connections[1] = {0x3333, 0x4444};
    ByteWriter w;
    ASSERT_TRUE(t.write(w));
    const Bytes& b = w.buffer();
    ASSERT_EQ(b.size(), 64u);
    auto at = [&](std::size_t offset, const Bytes& expected) {
        return Bytes(b.begin() + static_cast<std::ptrdiff_t>(offset),
                     b.begin() + static_cast<std::ptrdiff_t>(offset + expected.size())) == expected;
    };
    EXPECT_TRUE(at(0, {0x02, 0x01, 1, 'A', 1, 0, 0, 0}));
    EXPECT_TRUE(at(8, leFloat(1.0f)));
    EXPECT_TRUE(at(16, leFloat(3.0f)));
    EXPECT_TRUE(at(20, le32(4)));
    EXPECT_TRUE(at(32, le32(7)));
    EXPECT_TRUE(at(40, le32(9)));
    EXPECT_TRUE(at(44, {0x02, 0x01, 1, 'A', 1, 0, 0, 0}));
    EXPECT_TRUE(at(52, {0x11, 0x11, 0x22, 0x22, 0, 0, 0x33, 0x33, 0x44, 0x44, 0, 0}));
}

TEST(TrackRecordFormat, CodeIsRecomputedWhenWritten) {
    // Code 7 with variant 0 becomes code 1 (4 bytes shorter); codes 8 and 9
    // with variant 0 become 3 and 4 and lose their copy blocks.
    for (auto [from, to] : {std::pair{7, 1}, std::pair{8, 3}, std::pair{9, 4}}) {
        SCOPED_TRACE(from);
        TrackFixture f;
        f.type = from;
        Layout layout = loaded(fileWithTrack(f));
        ASSERT_TRUE(layout.loaded);
        f.type = to;
        EXPECT_EQ(saved(layout), fileWithTrack(f));
        EXPECT_EQ(layout.tracks[0].type, to);
    }
    // A code 9 record's three cores all carry a changed height.
    TrackFixture f;
    f.type = 9;
    f.variant = 1;
    Layout layout = loaded(fileWithTrack(f));
    layout.tracks[0].end.z = 777;
    const Bytes written = saved(layout);
    f.end[2] = 777;
    EXPECT_EQ(written, fileWithTrack(f));
    EXPECT_TRUE(loaded(written).loaded);
}

TEST(TrackRecordFormat, SlotTableKeepsFreeSlotsFree) {
    TrackFixture f;
    f.type = 11;
    f.presence = {1, 0, 1};
    Layout layout = loaded(fileWithTrack(f));
    ASSERT_TRUE(layout.loaded);
    const TrackRecord& t = layout.tracks[0];
    EXPECT_EQ(t.connections[2].peerId, f.peer[2][0]);
    EXPECT_EQ(t.connections[3].peerId, 0);
    EXPECT_EQ(t.connections[3].peerEnd, 0);
    EXPECT_EQ(t.connections[4].peerEnd, f.peer[4][1]);
    EXPECT_EQ(saved(layout), fileWithTrack(f));
}

TEST(TrackRecordRead, RefusesCodesAndSlotCountsOutsideTheFormat) {
    MessageCapture capture;
    TrackFixture f;
    f.type = 5;
    f.name = "Zweig";
    EXPECT_FALSE(loaded(fileWithTrack(f)).loaded);
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Zweig: Unbekannter Typ 5!\n"});

    // Code 11: 18 extra slots fill all 20; 19 would not fit; a negative value
    // is no count. The refusals are silent.
    capture.reset();
    f.type = 11;
    f.presence.assign(18, 0);
    EXPECT_TRUE(loaded(fileWithTrack(f)).loaded);
    for (int m : {19, -1, -32768}) {
        SCOPED_TRACE(m);
        f.extraCount = static_cast<std::int16_t>(m);
        EXPECT_FALSE(loaded(fileWithTrack(f)).loaded);
    }
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_TRUE(capture.console.empty());
}

TEST(TrackRecordRead, ReportsEveryKindOfDisagreeingCopy) {
    // Code 9 holds every kind of copy; code 11 its own ones. Each case changes
    // one stored copy, found by its distinct bytes, and expects the one
    // console line (none for texts) and no message box.
    TrackFixture nine;
    nine.type = 9;
    nine.variant = 3;
    nine.name = "Neun";
    TrackFixture eleven;
    eleven.type = 11;
    eleven.presence = {1};
    const float dirX = nine.direction[0];
    const float lastBit = std::bit_cast<float>(std::bit_cast<std::uint32_t>(dirX) + 1);
    struct Case {
        const char* what;
        const TrackFixture& f;
        Bytes pattern;
        int occurrence;
        std::ptrdiff_t skip; // bytes after the found pattern where the change goes
        Bytes replacement;
        const char* line;
    };
    const Case cases[] = {
        {"id in the first core", nine, le16(0x0104), 1, 0, le16(0x0105), "I: 261 S: 260\n"},
        {"id in the last core", nine, le16(0x0104), 3, 0, le16(5), "I: 5 S: 260\n"},
        {"type", nine, le32(9), 2, 0, le32(4), "I: 4 S: 9\n"},
        {"name", nine, {4, 'N', 'e', 'u', 'n'}, 2, 1, {'n'}, nullptr},
        {"name length", nine, {4, 'N', 'e', 'u', 'n'}, 1, 0, {3}, nullptr},
        {"direction in its last bit", nine, leFloat(dirX), 1, 0, leFloat(lastBit),
         "I: 0.750000 S: 0.750000 Diff: 5.960464e-08\n"},
        {"coordinate", nine, le32(-5000), 2, 0, le32(-5001), "I: -5001 S: -5000\n"},
        {"slot word", nine, le16(0x0301), 1, 0, le16(0x0302), "I: 770 S: 769\n"},
        {"zero word", nine, {0x00, 0x02, 0x00, 0x03}, 0, 4, le16(1), "I: 1 S: 0\n"},
        {"setting1 in piece 10", nine, le16(0x0511), 1, 0, le16(0x0512), "I: 1298 S: 1297\n"},
        {"head zero of code 11", eleven, le16(0x0511), 0, -6, le32(1), "I: 1 S: 0\n"},
        {"pointB copy", eleven, le32(22), 1, 0, le32(23), "I: 23 S: 22\n"},
        {"realValue copy", eleven, leFloat(2.5f), 1, 0, leFloat(-2.5f),
         "I: -2.500000 S: 2.500000 Diff: -5.000000e+00\n"},
        {"slot zero word in the table", eleven, le16(0x0302), 0, 2, le16(7), "I: 7 S: 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MessageCapture capture;
        Bytes file = fileWithTrack(c.f);
        const std::size_t at = findOccurrence(file, c.pattern, c.occurrence);
        ASSERT_NE(at, std::string::npos);
        std::copy(c.replacement.begin(), c.replacement.end(),
                  file.begin() + static_cast<std::ptrdiff_t>(at) + c.skip);
        Layout layout = loaded(file);
        EXPECT_FALSE(layout.loaded);
        EXPECT_TRUE(capture.messages.empty());
        if (c.line)
            EXPECT_EQ(capture.console, std::vector<std::string>{c.line});
        else
            EXPECT_TRUE(capture.console.empty());
    }
}
