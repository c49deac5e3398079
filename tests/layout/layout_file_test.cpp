// What a layout file holds rests on the golden file tests/data/layout/sample.anl
// (every type code, bridges, buffer stops on straight and curved tracks, entries
// with and without tails, cameras, colours), written on every build from the
// fuzz seed "unfixed.anl"; the tests here change or cut it.
#include "layout/layout.h"
#include "tests/support/no_file_lost.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A layout with what its load said.
struct LoadedLayout : Layout {
    LoadResult result = LoadResult::Refused;
    bool loaded = false;
};
LoadedLayout loaded(const Bytes& file) {
    LoadedLayout layout;
    layout.result = layout.loadFromMemory(file.data(), file.size());
    layout.loaded = layout.result == LoadResult::Loaded;
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

std::size_t find(const Bytes& bytes, const Bytes& pattern) {
    return static_cast<std::size_t>(
        std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) - bytes.begin());
}

// The slot table of the sample's turntable (code 11): three extra slots, the
// middle one free.
const Bytes TurntableSlots = {3, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};

} // namespace

TEST(LayoutSave, WritesTheGoldenSampleOnEveryBuild) {
    // The save moves the buffer stop with its track and drops the duplicate.
    const Bytes golden = goldenSample();
    const Bytes unfixed = readBytes(testDataFile("../../fuzz/corpus/layout/unfixed.anl"));
    EXPECT_NE(unfixed, golden);
    TempFolder folder;
    LoadedLayout layout = loaded(unfixed);
    ASSERT_TRUE(layout.loaded);
    ASSERT_TRUE(layout.save(folder.file("sample.anl")));
    EXPECT_EQ(readBytes(folder.file("sample.anl")), golden);
    LoadedLayout back = loaded(golden);
    ASSERT_TRUE(back.loaded);
    EXPECT_EQ(image(back), golden);
}

TEST(LayoutSave, NeverLosesTheOldFile) {
    Layout layout = loaded(goldenSample());
    expectNoFileLost("Demo.anl", [&](const std::string& path) { return layout.save(path); });
}

TEST(LayoutLoad, EveryByteIsReadOrVerified) {
    // Each byte's lowest and highest bit flipped: the layout does not load
    // (at most one message and console line), or loads silently into another
    // layout that saves to a file which loads. An unchecked copy or zero word
    // would give the sample's very layout, as would a float copy compared by
    // value (-0.0 against 0.0). A code-11 presence word only tells used slots.
    const Bytes golden = goldenSample();
    LoadedLayout sample = loaded(golden);
    ASSERT_TRUE(sample.loaded);
    const Bytes original = image(sample);
    const std::size_t presence = find(golden, TurntableSlots) + 2;
    ASSERT_LT(presence, golden.size());
    for (std::size_t n = 0; n < golden.size(); ++n) {
        for (std::uint8_t flip : {std::uint8_t{0x01}, std::uint8_t{0x80}}) {
            SCOPED_TRACE(std::to_string(n) + " ^ " + std::to_string(flip));
            Bytes file = golden;
            file[n] = static_cast<std::uint8_t>(file[n] ^ flip);
            MessageCapture capture;
            LoadedLayout layout = loaded(file);
            if (layout.loaded) {
                EXPECT_TRUE(capture.messages.empty() && capture.console.empty());
                Bytes written;
                ASSERT_TRUE(layout.writeImage(written));
                if (n - presence >= 12) {
                    EXPECT_NE(written, original);
                }
                EXPECT_TRUE(loaded(written).loaded);
            } else {
                EXPECT_LE(capture.messages.size(), 1u);
                EXPECT_LE(capture.console.size(), 1u);
            }
        }
    }
}

TEST(LayoutLoad, RejectsFileCutAtAnyOffset) {
    // Every prefix of a valid file is a cut file: it fails with one message
    // and never with an unknown type made of the zeros read past the end. A
    // cut inside the properties' 20 extra bytes keeps its own message.
    const Bytes file = goldenSample();
    LoadedLayout whole = loaded(file);
    ASSERT_TRUE(whole.loaded);
    const std::size_t tails = 7 * whole.tailOrder().size();
    const std::size_t extraBytes = file.size() - tails - 24;
    for (std::size_t n = 0; n < file.size(); ++n) {
        SCOPED_TRACE(n);
        MessageCapture capture;
        LoadedLayout layout =
            loaded(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(layout.result, LoadResult::Refused);
        const bool inExtraBytes = n >= extraBytes && n < extraBytes + 20;
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{inExtraBytes ? "Feher in Eigenschaften!\n"
                                                        : "Formatfehler!\n"});
        EXPECT_LE(capture.console.size(), 1u);
    }
}

TEST(LayoutLoad, HeadersAndCountsOutsideTheFormat) {
    const Bytes golden = goldenSample();
    const Bytes empty(198, 0);
    auto changed = [](Bytes file, std::size_t at, const Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
        return file;
    };
    Bytes longer = golden;
    longer.push_back(0);
    const std::size_t slots = find(golden, TurntableSlots);
    struct Case {
        const char* what;
        Bytes file;
        bool loads;
        const char* message; // "": none
    } cases[] = {
        {"the empty layout", empty, true, ""},
        {"a negative count is an empty list", changed(empty, 0, {0xFF, 0xFF}), true, ""},
        {"32767 objects announced, none there", changed(empty, 2, {0xFF, 0x7F}), false,
         "Formatfehler!\n"},
        {"a byte after the last tail", longer, false, "Datei zu lang!\n"},
        // The first track: id, "Strecke", then its code.
        {"an unknown type code", changed(golden, 2 + 2 + 8, {5}), false,
         "Strecke: Unbekannter Typ 5!\n"},
        // 18 extra slots fill all 20; more, or a negative count, is refused
        // silently.
        {"19 extra slots", changed(golden, slots, {19, 0}), false, ""},
        {"a negative slot count", changed(golden, slots, {0xFF, 0xFF}), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MessageCapture capture;
        LoadedLayout layout = loaded(c.file);
        EXPECT_EQ(layout.loaded, c.loads);
        // A refusal without a message must say so, for the caller to speak.
        EXPECT_EQ(layout.result == LoadResult::Inconsistent, !c.loads && !*c.message);
        EXPECT_EQ(capture.messages,
                  *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_TRUE(capture.console.empty());
        EXPECT_LT(layout.objects.capacity(), 100u); // nothing allocated for a lie
        if (c.loads) {
            EXPECT_EQ(image(layout), empty);
        }
    }
}

TEST(LayoutSave, RefusesWhatCouldNotBeReadBackAndKeepsTheOldFile) {
    const Bytes golden = goldenSample();
    TempFolder folder;
    const std::string path = folder.file("alt.anl");
    writeBytes(path, golden);
    struct Case {
        std::string message;
        void (*change)(Layout&);
    } cases[] = {
        {std::string(256, 'p') + ": Text zu lang!\n",
         [](Layout& l) { l.objects[0].path = std::string(256, 'p'); }},
        {"Strecke: Unbekannter Typ 0!\n",
         [](Layout& l) { l.tracks[0].type = 0, l.tracks[0].connectionCount = 0; }},
        {"Zu viele Objekte (32768)!\n",
         [](Layout& l) {
             l.objects.resize(32768, l.objects[0]);
             for (std::size_t i = 0; i < l.objects.size(); ++i)
                 l.objects[i].position.x = static_cast<std::int32_t>(i);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.substr(0, 30));
        MessageCapture capture;
        Layout layout;
        ASSERT_EQ(layout.load(path), LoadResult::Loaded);
        c.change(layout);
        EXPECT_FALSE(layout.save(path));
        EXPECT_EQ(capture.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(readBytes(path), golden);
    }
    // A missing file: the height program's tests.
    MessageCapture capture;
    Layout device;
    EXPECT_EQ(device.load(Device), LoadResult::Refused);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{std::string(Device) + " ist keine Datei!\n"});
}

namespace {

// The tail order walked one entry at a time, the oracle for the sort: the
// entry with the smallest id above key (the first in array order among equal
// ids), or none; key becomes that id, or EntryTailLimit when there is none.
std::optional<std::size_t> nextEntryIndex(const Layout& layout, std::int32_t& key) {
    std::int32_t best = EntryTailLimit;
    std::optional<std::size_t> result;
    for (std::size_t i = 0; i < layout.entries.size(); ++i) {
        const std::int32_t id = layout.entries[i].id;
        if (id > key && id < best) {
            best = id;
            result = i;
        }
    }
    key = best;
    return result;
}

} // namespace

TEST(LayoutTails, TheSortAgreesWithWalkingEntryByEntry) {
    Layout layout;
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        layout.entries.resize(rng() % 40);
        for (auto& e : layout.entries)
            e.id = static_cast<std::int16_t>(static_cast<int>(rng() % 12) - 2 +
                                             (rng() % 5 == 0 ? 29995 : 0));
        std::vector<std::size_t> walked;
        std::int32_t key = 0;
        while (auto next = nextEntryIndex(layout, key))
            walked.push_back(*next);
        EXPECT_EQ(key, EntryTailLimit);
        EXPECT_EQ(layout.tailOrder(), walked);
    }
}
