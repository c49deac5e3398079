#include "common/file_messages.h"
#include "common/paths.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tests/support/no_file_lost.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

TEST(TextEncoding, TerminalGetsUtf8) {
    EXPECT_EQ(cp1252ToUtf8("Groessen stimmen nicht \xFC"
                           "berein!\n"),
              "Groessen stimmen nicht \xC3\xBC"
              "berein!\n");
    EXPECT_EQ(cp1252ToUtf8("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
    // A text that is UTF-8 already (a path typed in a UTF-8 terminal) stays.
    EXPECT_EQ(terminalText("H\xC3\xB6he.bmp"), "H\xC3\xB6he.bmp");
    EXPECT_EQ(terminalText("H\xF6he.bmp"), "H\xC3\xB6he.bmp");
    EXPECT_FALSE(isValidUtf8("\xC0\x80"));     // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));     // cut short
}

TEST(Paths, BackslashesAreFolderSeparators) {
    if (platformIsWindows()) {
        EXPECT_EQ(osPath("a\\b/c"), "a\\b/c");
        EXPECT_TRUE(isFolderSeparator('\\'));
        EXPECT_FALSE(isFolderSeparator('/'));
    } else {
        EXPECT_EQ(osPath("a\\b/c"), "a/b/c");
        EXPECT_TRUE(isFolderSeparator('\\'));
        EXPECT_TRUE(isFolderSeparator('/'));
        // and so are the paths in messages
        testing::internal::CaptureStderr();
        platformShowMessage("Can't open /proc/x/Modelle\\Demo\\bmp10_0.mod!\n");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Vodudad Avar: Can't open /proc/x/Modelle/Demo/bmp10_0.mod!\n");
    }
}

TEST(SafeReplacement, NeverLosesTheOldFile) {
    const std::vector<std::uint8_t> bytes(100000, 0xAB);
    expectNoFileLost("Test.anl",
                     [&](const std::string& path) { return writeFileSafely(path, bytes); });

    // What is not a file at all: a folder in the way, an empty name.
    TempFolder tmp;
    MessageCapture capture;
    std::filesystem::create_directory(tmp.path() / "Ordner.anl");
    EXPECT_FALSE(writeFileSafely(tmp.file("Ordner.anl"), bytes));
    EXPECT_TRUE(std::filesystem::is_directory(tmp.path() / "Ordner.anl"));
    EXPECT_FALSE(writeFileSafely("", bytes));
    ASSERT_EQ(capture.messages.size(), 2u);
    EXPECT_EQ(capture.messages[1], "Can't open !\n");
    // Nothing to write still makes the file.
    EXPECT_TRUE(writeFileSafely(tmp.file("neu.danl"), bytes.data(), 0));
    EXPECT_TRUE(fileExists(tmp.file("neu.danl")));
}

TEST(WholeFileRead, ReadsEveryByteOfRegularFilesOnly) {
    TempFolder folder;
    std::vector<std::uint8_t> out{1, 2, 3};
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 200001u}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        writeBytes(folder.file("f.bin"), bytes);
        ASSERT_EQ(readWholeFile(folder.file("f.bin"), out, 200001), InputProblem::None);
        EXPECT_EQ(out, bytes);
    }
    // Nothing is read from the rest, and none of them makes the read wait.
    std::filesystem::create_directory(folder.path() / "ordner");
    std::vector<std::pair<std::string, InputProblem>> cases = {
        {folder.file("fehlt.bin"), InputProblem::CannotOpen},
        {folder.file("ordner"), InputProblem::CannotOpen},
        {folder.file("f.bin"), InputProblem::TooLarge},
        {Device, InputProblem::NotAFile}};
    if (!platformIsWindows() && std::system(("mkfifo " + folder.file("fifo")).c_str()) == 0)
        cases.emplace_back(folder.file("fifo"), InputProblem::NotAFile);
    for (const auto& [path, problem] : cases) {
        SCOPED_TRACE(path);
        out = {1};
        EXPECT_EQ(readWholeFile(path, out, 200000), problem);
        EXPECT_TRUE(out.empty());
    }
}

TEST(Paths, SplitExtensionAndFolder) {
    // folder "-" marks a row whose forward slashes separate on POSIX only.
    struct Row {
        const char* path;
        const char* ext; // nullptr: none
        const char* anl; // withExtension(path, ".anl")
        const char* folder;
        const char* name;
    } rows[] = {
        {"D:\\Anlagen\\Test.danl", ".danl", "D:\\Anlagen\\Test.anl", "D:\\Anlagen", "Test.danl"},
        {"Test.anl", ".anl", "Test.anl", "", "Test.anl"},
        {"C:\\Test.anl", ".anl", "C:\\Test.anl", "C:\\", "Test.anl"}, // the drive's root
        {"\\Test.anl", ".anl", "\\Test.anl", "\\", "Test.anl"},
        {"Daten.alt\\Test", ".alt\\Test", "Daten.anl", "Daten.alt", "Test"},
        {"Test", nullptr, "Test.anl", "", "Test"},
        {"Test.anl.bak", ".bak", "Test.anl.anl", "", "Test.anl.bak"},
        {"Hoehe.BMP", ".BMP", "Hoehe.anl", "", "Hoehe.BMP"},
        {"/Test.anl", ".anl", "/Test.anl", "-", "Test.anl"},
        {"D:/Anlagen/Test.anl", ".anl", "D:/Anlagen/Test.anl", "-", "Test.anl"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.path);
        const std::optional<std::string> ext = extensionOf(r.path);
        EXPECT_EQ(ext, r.ext ? std::optional<std::string>(r.ext) : std::nullopt);
        EXPECT_EQ(withExtension(r.path, ".anl"), r.anl);
        const PathSplit split = splitPath(r.path);
        if (std::string(r.folder) != "-") {
            EXPECT_EQ(split.folder, r.folder);
            EXPECT_EQ(split.name, r.name);
        } else if (platformIsWindows()) {
            EXPECT_EQ(split.folder, "");
            EXPECT_EQ(split.name, r.path);
        } else {
            const std::string path = r.path;
            EXPECT_EQ(split.folder, path == "/Test.anl" ? "/" : "D:/Anlagen");
            EXPECT_EQ(split.name, r.name);
        }
    }
}

TEST(Paths, DrivesAndSharesAreNeverCreated) {
    const std::pair<const char*, std::size_t> rows[] = {
        {"C:\\Zumt\\Modelle", 3},
        {"C:", 2},
        {"\\\\server\\share\\Zumt\\Modelle", 15},
        {"//server/share/Zumt", 15},
        {"\\\\server\\share", 14},
        {"\\\\server", 8},
        {"\\Zumt\\Modelle", 0},
        {"Modelle\\Demo", 0},
    };
    for (const auto& [path, head] : rows) {
        SCOPED_TRACE(path);
        EXPECT_EQ(uncreatableHeadLength(path), head);
    }
}
