#include "common/file_messages.h"
#include "common/paths.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tests/support/no_file_lost.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

TEST(TextEncoding, TerminalGetsUtf8) {
    EXPECT_EQ(cp1252ToUtf8("Groessen stimmen nicht \xFC"
                           "berein!\n"),
              "Groessen stimmen nicht \xC3\xBC"
              "berein!\n");
    EXPECT_EQ(cp1252ToUtf8("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
    // A text that is UTF-8 already (a path typed in a UTF-8 terminal) stays.
    EXPECT_EQ(terminalText("H\xC3\xB6he.bmp"), "H\xC3\xB6he.bmp");
    EXPECT_EQ(terminalText("H\xF6he.bmp"), "H\xC3\xB6he.bmp");
    // Overlong (two forms), a surrogate, cut short.
    for (const char* bad : {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xE2\x82"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

TEST(Paths, BackslashesAreFolderSeparators) {
    // Which characters separate is the path table's; here the system's form,
    // and on POSIX the paths in messages.
    EXPECT_EQ(osPath("a\\b/c"), platformIsWindows() ? "a\\b/c" : "a/b/c");
    if (platformIsWindows()) return;
    testing::internal::CaptureStderr();
    platformShowMessage("Can't open /proc/x/Modelle\\Demo\\bmp10_0.mod!\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Vodudad Avar: Can't open /proc/x/Modelle/Demo/bmp10_0.mod!\n");
}

// Every way a write can fail is the harness's, run on the writers that use
// writeFileSafely (settings, layout, picture); here what they never meet.
TEST(SafeReplacement, AnEmptyNameFailsAndNoBytesMakeTheFile) {
    TempFolder tmp;
    MessageCapture capture;
    EXPECT_FALSE(writeFileSafely("", "x", 1));
    EXPECT_EQ(capture.messages, std::vector<std::string>{"Can't open !\n"});
    EXPECT_TRUE(writeFileSafely(tmp.file("neu.danl"), "", 0));
    EXPECT_TRUE(fileExists(tmp.file("neu.danl")));
}

namespace {

using Bytes = std::vector<std::uint8_t>;
const Bytes OldBytes = {'a', 'l', 't', 0, 0xFF};
const Bytes NewBytes(5000, 0x5A);

std::size_t filesIn(const std::filesystem::path& folder) {
    const std::filesystem::directory_iterator all(folder);
    return static_cast<std::size_t>(std::distance(begin(all), end(all)));
}

WriteOutcome stage(const std::string& path, StagedFile& staged, std::size_t size = NewBytes.size(),
                   Durability durability = Durability::Flushed) {
    return stageFile(path, NewBytes.data(), size, durability, staged);
}

// The bytes of a regular file; none for anything else.
Bytes contentsOf(const std::string& path) {
    return std::filesystem::is_regular_file(path) ? readBytes(path) : Bytes();
}

// What goes otherwise than expected when the target is checked, staged and
// committed, and when the two kinds of message tell the outcome; empty when
// check and staging agree and the messages say what they should.
std::string surprises(const TempFolder& folder, const std::string& path, WriteOutcome expected,
                      const char* reason) {
    std::ostringstream out;
    const Bytes before = contentsOf(path);
    if (const WriteOutcome checked = checkReplaceable(path); checked != expected)
        out << "the check gives " << static_cast<int>(checked) << "; ";
    StagedFile staged;
    const WriteOutcome outcome = stage(path, staged);
    if (outcome != expected) out << "staging gives " << static_cast<int>(outcome) << "; ";
    if (outcome == WriteOutcome::Written) {
        if (commitStagedFile(staged) != WriteOutcome::Written || contentsOf(path) != NewBytes)
            out << "the commit failed; ";
    } else if (expected != WriteOutcome::Written) {
        // The converter says why; the other programs keep their plain text.
        MessageCapture capture;
        reportWriteOutcome(expected, path);
        if (writeFileSafely(path, NewBytes)) out << "writeFileSafely wrote; ";
        const std::string why = reason;
        const std::string plain = why.rfind("Can't open", 0) == 0 ? "Can't open %s!\n" : why;
        const std::vector<std::string> messages = {formatText(reason, path.c_str()),
                                                   formatText(plain.c_str(), path.c_str())};
        if (capture.messages != messages) out << "the messages differ; ";
        if (contentsOf(path) != before) out << "the old file changed; ";
    }
    if (temporariesIn(folder.path()) != 0) out << "a temporary file stayed; ";
    return out.str();
}

} // namespace

TEST(StagedReplacement, ASetChangesWholeOrNotAtAll) {
    TempFolder folder;
    const std::string ter = folder.file("Demo.ter"), bmp = folder.file("Demo_farbe.bmp");
    writeBytes(ter, OldBytes);
    writeBytes(bmp, OldBytes);
    {
        // The second output fails: the first is discarded, nothing replaced.
        StagedFile first, second;
        ASSERT_EQ(stage(ter, first), WriteOutcome::Written);
        EXPECT_EQ(temporariesIn(folder.path()), 1u);
        setWriteFaultForTesting(WriteFault::DiskFull, 10);
        EXPECT_EQ(stage(bmp, second), WriteOutcome::WriteFailed);
        EXPECT_FALSE(second.isStaged());
        discardStagedFile(first);
        EXPECT_EQ(commitStagedFile(first), WriteOutcome::WriteFailed) << "nothing is staged";
    }
    {
        // Never committed, moved on, then dropped: its temporary file goes.
        StagedFile staged;
        ASSERT_EQ(stage(ter, staged), WriteOutcome::Written);
        std::vector<StagedFile> set;
        set.push_back(std::move(staged));
        EXPECT_FALSE(staged.isStaged());
        EXPECT_TRUE(set[0].isStaged());
    }
    {
        // The handlers hold so many temporary paths; one more is refused
        // rather than left to a Ctrl-C.
        std::vector<StagedFile> set(MaxStagedFiles + 1);
        for (int i = 0; i < MaxStagedFiles; ++i)
            ASSERT_EQ(stage(folder.file(std::to_string(i) + ".ter"), set[i]),
                      WriteOutcome::Written);
        EXPECT_EQ(stage(ter, set.back()), WriteOutcome::CannotOpen);
    }
    EXPECT_EQ(readBytes(ter), OldBytes);
    EXPECT_EQ(readBytes(bmp), OldBytes);
    EXPECT_EQ(filesIn(folder.path()), 2u);

    // Both staged: the targets stay old until each one's commit.
    StagedFile set[2];
    ASSERT_EQ(stage(ter, set[0]), WriteOutcome::Written);
    ASSERT_EQ(stage(bmp, set[1], 3, Durability::Replaceable), WriteOutcome::Written);
    EXPECT_EQ(readBytes(ter), OldBytes);
    EXPECT_EQ(commitStagedFile(set[0]), WriteOutcome::Written);
    EXPECT_EQ(readBytes(bmp), OldBytes);
    EXPECT_EQ(commitStagedFile(set[1]), WriteOutcome::Written);
    EXPECT_EQ(readBytes(ter), NewBytes);
    EXPECT_EQ(readBytes(bmp), Bytes(3, 0x5A));
    EXPECT_EQ(filesIn(folder.path()), 2u);
}

// A move that fails after others succeeded: each file is whole, and the
// one message says which files of the set are new and which are old.
TEST(StagedReplacement, ASetThatBreaksOffSaysWhatIsNewAndWhatOld) {
    TempFolder folder;
    const std::string names[3] = {folder.file("a.ter"), folder.file("a_farbe.bmp"),
                                  folder.file("A.danl")};
    FileSet set;
    for (const std::string& name : names) {
        writeBytes(name, OldBytes);
        ASSERT_TRUE(set.check(name));
    }
    ASSERT_TRUE(set.stage(names[0], NewBytes, Durability::Replaceable));
    setWriteFaultForTesting(WriteFault::MoveFails);
    ASSERT_TRUE(set.stage(names[1], NewBytes, Durability::Replaceable));
    ASSERT_TRUE(set.stage(names[2], NewBytes, Durability::Flushed));
    MessageCapture shown;
    EXPECT_FALSE(set.commit());
    EXPECT_EQ(shown.messages, std::vector<std::string>{"Fehler beim Schreiben von " + names[1] +
                                                       "!\nNeu geschrieben:\n  " + names[0] +
                                                       "\nUnveraendert:\n  " + names[1] + "\n  " +
                                                       names[2] + "\n"});
    EXPECT_EQ(set.written(), std::vector<std::string>{names[0]});
    EXPECT_EQ(readBytes(names[0]), NewBytes);
    EXPECT_EQ(readBytes(names[1]), OldBytes);
    EXPECT_EQ(readBytes(names[2]), OldBytes);
    EXPECT_EQ(temporariesIn(folder.path()), 0u);
}

TEST(StagedReplacement, TheCheckTellsWhatStagingMeets) {
    struct Row {
        const char* what;
        std::function<std::string(const TempFolder&)> target; // made, returns the path
        WriteOutcome expected;
        const char* reason; // reportWriteOutcome's template
        bool asUser;        // run as uid 65534 (POSIX, as root)
    };
    const char* const separator = platformIsWindows() ? "\\" : "/";
    auto file = [](const TempFolder& f) {
        writeBytes(f.file("alt.ter"), OldBytes);
        return f.file("alt.ter");
    };
    const Row rows[] = {
        {"a new file", [](const TempFolder& f) { return f.file("neu.ter"); }, WriteOutcome::Written,
         nullptr, false},
        {"an old file", file, WriteOutcome::Written, nullptr, false},
        {"a read-only file",
         [&](const TempFolder& f) {
             const std::string path = file(f);
             std::filesystem::permissions(path, std::filesystem::perms::owner_read);
             return path;
         },
         WriteOutcome::ReadOnly, "Can't open %s: schreibgeschuetzt!\n", false},
        {"a missing folder",
         [&](const TempFolder& f) { return f.file("fehlt") + separator + "neu.ter"; },
         WriteOutcome::NoFolder, "Can't open %s: Ordner fehlt!\n", false},
        {"a file where the folder should be",
         [&](const TempFolder& f) { return file(f) + separator + "neu.ter"; },
         WriteOutcome::NoFolder, "Can't open %s: Ordner fehlt!\n", false},
        {"a folder in the target's place",
         [](const TempFolder& f) {
             std::filesystem::create_directory(f.path() / "neu.ter");
             return f.file("neu.ter");
         },
         WriteOutcome::CannotOpen, "Can't open %s!\n", false},
#ifndef _WIN32
        {"another user's file in a folder anyone may write",
         [&](const TempFolder& f) {
             chmod(f.path().c_str(), 0777);
             const std::string path = file(f);
             chmod(path.c_str(), 0644);
             return path;
         },
         WriteOutcome::NoPermission, "Can't open %s: keine Schreibrechte!\n", true},
        {"a new file in another user's folder",
         [](const TempFolder& f) {
             std::filesystem::create_directory(f.path() / "fremd");
             return f.file("fremd") + "/neu.ter";
         },
         WriteOutcome::NoPermission, "Can't open %s: keine Schreibrechte!\n", true},
        {"the user's file of a group the user is not in",
         [&](const TempFolder& f) {
             chmod(f.path().c_str(), 0777);
             const std::string path = file(f);
             if (chown(path.c_str(), 65534, 12345) != 0) return std::string();
             return path;
         },
         WriteOutcome::OwnerNotKept, "%s: Besitzer kann nicht erhalten werden!\n", true},
#endif
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder;
        if (!row.asUser) {
            EXPECT_EQ(surprises(folder, row.target(folder), row.expected, row.reason), "");
            continue;
        }
#ifndef _WIN32
        if (geteuid() != 0) continue; // only root can be another user
        const std::string path = row.target(folder);
        EXPECT_TRUE(asOrdinaryUser([&] {
            const std::string found = surprises(folder, path, row.expected, row.reason);
            std::fprintf(stderr, "%s\n", found.c_str());
            return found.empty();
        })) << "see the child's lines";
#endif
    }
}

#ifndef _WIN32
TEST(StagedReplacement, TerminationRemovesEveryStagedTemporary) {
    TempFolder folder;
    const std::string ter = folder.file("Demo.ter"), bmp = folder.file("Demo_farbe.bmp");
    writeBytes(ter, OldBytes);
    writeBytes(bmp, OldBytes);
    EXPECT_TRUE(terminatedWhileWriting(folder.path(), 2, [&] {
        StagedFile first, second;
        if (stage(ter, first) != WriteOutcome::Written) return;
        setWriteFaultForTesting(WriteFault::Stalls, 1);
        (void)stage(bmp, second);
    }));
    EXPECT_EQ(filesIn(folder.path()), 2u);
    EXPECT_EQ(readBytes(ter), OldBytes);
    EXPECT_EQ(readBytes(bmp), OldBytes);
}
#endif

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

// tests/data/common/paths.csv: each path's extension, folder and name, and
// how much of it is a drive or share that is never created.
TEST(Paths, SplitExtensionFolderAndHead) {
    const std::string here = currentFolder() + (platformIsWindows() ? "\\" : "/");
    const auto rows = readTable("common/paths.csv");
    ASSERT_EQ(rows.size(), 19u);
    for (const auto& r : rows) {
        SCOPED_TRACE(r[0]);
        ASSERT_EQ(r.size(), 8u);
        EXPECT_EQ(extensionOf(r[0]).value_or("-"), r[1]);
        EXPECT_EQ(withExtension(r[0], ".anl"), r[2]);
        EXPECT_EQ(uncreatableHeadLength(r[0]), std::stoul(r[6]));
        const bool whole = r[7] == "1" && platformIsWindows();
        const PathSplit split = splitPath(r[0]);
        EXPECT_EQ(split.folder, whole ? "" : r[3]);
        EXPECT_EQ(split.name, whole ? r[0] : r[4]);
        if (whole) continue;
        EXPECT_EQ(isAbsolutePath(r[0]), r[5] == "1");
        EXPECT_EQ(anchoredPath(r[0]), r[5] == "1" ? r[0] : here + r[0]);
    }
}

TEST(Paths, CaseBlindNames) {
    // ASCII letters only ('@' and '[' stand beside 'A' and 'Z'): the
    // Windows-1252 "\xC4" is no ASCII letter.
    EXPECT_EQ(asciiLower("Hoehe.BMP AZ@[\xC4"), "hoehe.bmp az@[\xC4");
    EXPECT_TRUE(sameIgnoringCase("TERRAIN ", "Terrain "));
    EXPECT_FALSE(sameIgnoringCase("TERRAIN", "TERRAIN "));
    EXPECT_FALSE(sameIgnoringCase("\xC4", "\xE4"));
    EXPECT_EQ(lowerExtension("Daten.ALT\\Test"), ".alt\\test");
    EXPECT_EQ(lowerExtension("Test"), "");
}
