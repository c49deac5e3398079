#include "platform/platform.h"
#include "settings/settings_file.h"
#include "tests/support/no_file_lost.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace {

SettingsFile parsed(const std::string& text) {
    SettingsFile s;
    s.parse(text);
    return s;
}

std::string valueOf(const SettingsFile& s, const char* section, const char* key) {
    const std::string* v = s.find(section, key);
    return v ? *v : std::string("<none>");
}

} // namespace

TEST(SettingsRead, KeysKeepTheirBlanksAndSectionsIgnoreTrailingText) {
    SettingsFile s = parsed("[Terrain1] alt\r\nHoehe = x.bmp\r\nName=a=b\r\n=leer\r\nFarbe=\r\n");
    EXPECT_EQ(valueOf(s, "Terrain1", "Hoehe"), "<none>");
    EXPECT_EQ(valueOf(s, "Terrain1", "Hoehe "), " x.bmp");
    EXPECT_EQ(valueOf(s, "Terrain1", "Name"), "a=b");
    EXPECT_EQ(valueOf(s, "Terrain1", ""), "leer");
    EXPECT_EQ(valueOf(s, "Terrain1", "Farbe"), ""); // present but empty
    EXPECT_EQ(valueOf(s, "terrain1", "Name"), "<none>");
    EXPECT_EQ(s.entries.size(), 5u);
}

TEST(SettingsRead, CommentsAndMalformedLinesAreSkipped) {
    SettingsFile s = parsed("; note\n; a=b\n[ohne Klammer\n  \t\n[A]\nx=1\n");
    ASSERT_EQ(s.entries.size(), 3u);
    EXPECT_EQ(s.entries[0].name, "; a");
    EXPECT_EQ(*s.entries[0].value, "b");
    // A key before the first section is kept but cannot be looked up.
    EXPECT_EQ(s.serialize(), "; a=b\r\n\r\n[A]\r\nx=1\r\n");
}

TEST(SettingsRead, ContinuationLines) {
    SettingsFile s = parsed("[T]\nName=abc\\\n  def\nx=1\\\n\nnext=2\ny=a\\\n[Terrain1]\\\nc\n");
    EXPECT_EQ(valueOf(s, "T", "Name"), "abc  def");
    EXPECT_EQ(valueOf(s, "T", "x"), "1");
    EXPECT_EQ(valueOf(s, "T", "next"), "2");
    EXPECT_EQ(valueOf(s, "T", "y"), "a[Terrain1]c");
    EXPECT_FALSE(s.hasSection("Terrain1"));
    // A backslash on the last line stays.
    EXPECT_EQ(valueOf(parsed("[T]\nz=end\\"), "T", "z"), "end\\");
    // Trailing blanks go before the backslash test; a CR before LF is no blank.
    EXPECT_EQ(valueOf(parsed("[T]\r\nz=a\\  \r\nb \r\n"), "T", "z"), "ab");
}

TEST(SettingsRead, EveryLineEndAByteOrderMarkAndLongLinesKeepEverySetting) {
    const std::string longValue(5000, 'v');
    struct Case {
        const char* what;
        std::string bytes;
        std::string written; // what write makes of it
    };
    const Case cases[] = {
        {"CR LF", "[T]\r\nName=Demo\r\nHoehe=g.ter\r\n", "[T]\r\nName=Demo\r\nHoehe=g.ter\r\n"},
        {"lone CR", "[T]\rName=Demo\rHoehe=g.ter\r", "[T]\r\nName=Demo\r\nHoehe=g.ter\r\n"},
        {"mixed; CR CR LF is two", "[T]\r\r\nName=Demo\n\rHoehe=g.ter",
         "[T]\r\nName=Demo\r\nHoehe=g.ter\r\n"},
        {"byte-order mark", "\xEF\xBB\xBF[T]\nName=Demo\nHoehe=g.ter\n",
         "\xEF\xBB\xBF[T]\r\nName=Demo\r\nHoehe=g.ter\r\n"},
        {"a line of 5000 bytes", "[T]\nName=" + longValue + "\nHoehe=g.ter\n",
         "[T]\r\nName=" + longValue + "\r\nHoehe=g.ter\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsFile s = parsed(c.bytes);
        EXPECT_EQ(valueOf(s, "T", "Hoehe"), "g.ter");
        EXPECT_EQ(s.serialize(), c.written);
    }
}

TEST(SettingsRead, WhatCannotBeSettingsIsRefusedWhateverTheReportFlag) {
    // NUL bytes: the dialog's and the fuzz target's checks.
    TempFolder tmp;
    MessageCapture capture;
    const std::string big = tmp.file("Gross.danl");
    writeText(big, std::string(SettingsFile::LargestFile + 1, '\n'));
    SettingsFile s;
    EXPECT_EQ(s.read(big, false), SettingsFile::ReadResult::Refused);
    EXPECT_EQ(s.read(Device, false), SettingsFile::ReadResult::Refused);
    EXPECT_TRUE(s.entries.empty());
    EXPECT_EQ(capture.messages,
              (std::vector<std::string>{big + " ist zu gross!\n",
                                        std::string(Device) + " ist keine Datei!\n"}));
}

TEST(SettingsRead, RepeatedSectionsAndTwoFilesInOneStore) {
    SettingsFile s = parsed("[A]\nx=1\n[A]\ny=2\n");
    EXPECT_EQ(valueOf(s, "A", "x"), "1");
    EXPECT_EQ(valueOf(s, "A", "y"), "<none>");
    EXPECT_EQ(s.serialize(), "[A]\r\nx=1\r\n\r\n[A]\r\ny=2\r\n");
    s.parse("[B]\nz=3\n[A]\nx=9\n");
    EXPECT_EQ(valueOf(s, "B", "z"), "3");
    EXPECT_EQ(valueOf(s, "A", "x"), "1");
    EXPECT_EQ(s.entries.size(), 8u);
}

TEST(SettingsValues, NumbersConvertLikeTheCLibrary) {
    SettingsFile s = parsed("[A]\na=12abc\nb=abc\nc=  -7\nd=0,5\ne=1.5e2\nf=99999999999\n");
    EXPECT_EQ(s.getInt("A", "a", 5), 12);
    EXPECT_EQ(s.getInt("A", "b", 5), 0);
    EXPECT_EQ(s.getInt("A", "c", 5), -7);
    EXPECT_EQ(s.getInt("A", "f", 5), 2147483647);
    EXPECT_EQ(s.getInt("A", "fehlt", 5), 5);
    EXPECT_EQ(s.getReal("A", "d", 1.0f), 0.0);
    EXPECT_EQ(s.getReal("A", "e", 1.0f), 150.0);
    EXPECT_EQ(s.getReal("A", "b", 1.0f), 0.0);
    // The default is single precision.
    EXPECT_EQ(s.getReal("A", "fehlt", 0.02f), static_cast<double>(0.02f));
    EXPECT_NE(s.getReal("A", "fehlt", 0.02f), 0.02);
}

TEST(SettingsEdit, SetInsertsAtTheEndOfTheFirstSection) {
    SettingsFile s = parsed("[A]\nx=1\n[B]\ny=2\n[E]\nz=3\n");
    s.set("B", "k", "v");
    s.set("A", "x", "neu");
    s.set("C", "n", "m");
    EXPECT_EQ(s.serialize(), "[A]\r\nx=neu\r\n\r\n[B]\r\ny=2\r\nk=v\r\n\r\n[E]\r\nz=3\r\n"
                             "\r\n[C]\r\nn=m\r\n");
    SettingsFile empty;
    empty.set("B", "k", "v");
    EXPECT_EQ(empty.serialize(), "[B]\r\nk=v\r\n");
}

// Every way a write can fail is the shared harness's; what a store's text
// is and that it reads back are held above and by the fuzz target.
TEST(SettingsWrite, NeverLosesTheOldFile) {
    SettingsFile s = parsed("[Terrain1]\nName=Berge\nHoehe=gelaende.ter\n");
    expectNoFileLost("Demo.danl", [&](const std::string& path) { return s.write(path); });
}
