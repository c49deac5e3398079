#include "tests/support/no_file_lost.h"

#include "platform/platform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes no writer produces, so that a file that was touched shows.
const Bytes OldBytes = {'a', 'l', 't', 0, 0xFF, '\r', '\n'};

std::vector<std::string> filesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    return names;
}

void makeReadOnly(const std::string& path) {
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
}

// One failing write over an old file: it must report failure, keep the old
// bytes, show exactly the message expected and leave nothing behind.
void expectKept(const TempFolder& folder, const std::string& path, const FileWriter& write,
                const std::string& message) {
    MessageCapture capture;
    const std::vector<std::string> before = filesIn(folder.path());
    EXPECT_FALSE(write(path)) << "the writer claims success";
    EXPECT_EQ(readBytes(path), OldBytes) << "the old file lost its bytes";
    EXPECT_EQ(capture.messages, std::vector<std::string>{message});
    EXPECT_EQ(filesIn(folder.path()), before) << "a temporary file was left behind";
}

} // namespace

void expectNoFileLost(const std::string& fileName, const FileWriter& write) {
    // What a write that works gives; the failing ones must not get near it.
    Bytes newBytes;
    {
        TempFolder folder;
        MessageCapture capture;
        const std::string path = folder.file(fileName);
        writeBytes(path, OldBytes);
        ASSERT_TRUE(write(path)) << "the writer fails without a fault";
        EXPECT_TRUE(capture.messages.empty());
        newBytes = readBytes(path);
        ASSERT_NE(newBytes, OldBytes);
        ASSERT_FALSE(newBytes.empty()) << "a full disk needs bytes to fail on";
    }
    auto expectWritesAgain = [&](const std::string& path) {
        MessageCapture capture;
        EXPECT_TRUE(write(path)) << "the fault did not clear, or the failure changed the writer";
        EXPECT_EQ(readBytes(path), newBytes);
        EXPECT_TRUE(capture.messages.empty());
    };

    struct Fault {
        const char* what;
        WriteFault fault;
        std::size_t bytes;
        const char* message;
    };
    const std::size_t size = newBytes.size();
    const Fault faults[] = {
        {"disk full at once", WriteFault::DiskFull, 0, "Fehler beim Schreiben von %s!\n"},
        {"disk full after 1 byte", WriteFault::DiskFull, 1, "Fehler beim Schreiben von %s!\n"},
        {"disk full half way", WriteFault::DiskFull, size / 2, "Fehler beim Schreiben von %s!\n"},
        {"disk full before the last byte", WriteFault::DiskFull, size - 1,
         "Fehler beim Schreiben von %s!\n"},
        {"final move fails", WriteFault::MoveFails, 0, "Fehler beim Schreiben von %s!\n"},
        {"temporary cannot be created", WriteFault::CannotCreate, 0, "Can't open %s!\n"},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        TempFolder folder;
        const std::string path = folder.file(fileName);
        writeBytes(path, OldBytes);
        setWriteFaultForTesting(f.fault, f.bytes);
        expectKept(folder, path, write, formatText(f.message, path.c_str()));
        // A writer that refused before it wrote would leave the fault armed.
        setWriteFaultForTesting(WriteFault::None);
        expectWritesAgain(path);
    }

    {
        SCOPED_TRACE("read-only old file");
        TempFolder folder;
        const std::string path = folder.file(fileName);
        writeBytes(path, OldBytes);
        makeReadOnly(path);
        expectKept(folder, path, write, formatText("Can't open %s!\n", path.c_str()));
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        expectWritesAgain(path);
    }

    {
        SCOPED_TRACE("missing folder");
        TempFolder folder;
        const std::string missing = folder.file("fehlt");
        const std::string path = missing + (platformIsWindows() ? "\\" : "/") + fileName;
        MessageCapture capture;
        EXPECT_FALSE(write(path)) << "the writer claims success";
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{formatText("Can't open %s!\n", path.c_str())});
        EXPECT_FALSE(fileExists(missing)) << "the folder was made";
        EXPECT_TRUE(filesIn(folder.path()).empty());
    }
}
