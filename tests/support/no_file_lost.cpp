#include "tests/support/no_file_lost.h"

#include "common/paths.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <thread>
#include <tuple>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// The path of an old file of that name in the folder.
std::string oldFile(const TempFolder& folder, const std::string& fileName) {
    writeBytes(folder.file(fileName), OldBytes);
    return folder.file(fileName);
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

#ifndef _WIN32
// Runs the writer as an ordinary user over an old file of the given owner
// and mode in a folder anyone may write; the old file must stay and the one
// message must be the one expected.
void expectRefusedToUser(const std::string& fileName, const FileWriter& write, uid_t owner,
                         gid_t group, const char* message) {
    TempFolder folder;
    const std::string path = oldFile(folder, fileName);
    ASSERT_EQ(chmod(folder.path().c_str(), 0777), 0);
    ASSERT_EQ(chown(path.c_str(), owner, group), 0);
    ASSERT_EQ(chmod(path.c_str(), 0666 & ~(owner == 0 ? 0022 : 0)), 0);
    EXPECT_TRUE(asOrdinaryUser([&] {
        MessageCapture capture;
        return !write(path) && readBytes(path) == OldBytes && filesIn(folder.path()).size() == 1 &&
               capture.messages == std::vector{formatText(message, path.c_str())};
    })) << "replaced, something left beside it, or not the one message";
}
#endif

} // namespace

std::size_t temporariesIn(const std::filesystem::path& folder) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        n += e.path().filename().string().find(".zumt-tmp-") != std::string::npos;
    return n;
}

void expectNoFileLost(const std::string& fileName, const FileWriter& write, Durability durability) {
    // What a write that works gives; the failing ones must not get near it.
    Bytes newBytes;
    {
        TempFolder folder;
        MessageCapture capture;
        const std::string path = oldFile(folder, fileName);
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

    // A full disk after 0, 1, half of and all but one of the new bytes; a
    // flush that fails; a final move that fails; a temporary file that
    // cannot be created. A file remade by the next run is never flushed, so
    // a failing flush cannot touch it: the write must go through.
    const char* const writeError = "Fehler beim Schreiben von %s!\n";
    const std::size_t size = newBytes.size();
    const std::tuple<WriteFault, std::size_t, const char*> faults[] = {
        {WriteFault::DiskFull, 0, writeError},
        {WriteFault::DiskFull, 1, writeError},
        {WriteFault::DiskFull, size / 2, writeError},
        {WriteFault::DiskFull, size - 1, writeError},
        {WriteFault::SyncFails, 0, durability == Durability::Flushed ? writeError : nullptr},
        {WriteFault::MoveFails, 0, writeError},
        {WriteFault::CannotCreate, 0, "Can't open %s!\n"},
    };
    for (const auto& [fault, bytes, message] : faults) {
        SCOPED_TRACE(testing::Message()
                     << "fault " << static_cast<int>(fault) << " after " << bytes);
        TempFolder folder;
        const std::string path = oldFile(folder, fileName);
        setWriteFaultForTesting(fault, bytes);
        if (!message) {
            expectWritesAgain(path);
            continue;
        }
        expectKept(folder, path, write, formatText(message, path.c_str()));
        // A writer that refused before it wrote would leave the fault armed.
        setWriteFaultForTesting(WriteFault::None);
        expectWritesAgain(path);
    }

    {
        SCOPED_TRACE("read-only old file");
        TempFolder folder;
        const std::string path = oldFile(folder, fileName);
        std::filesystem::permissions(path, std::filesystem::perms::owner_read);
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

    {
        SCOPED_TRACE("leftovers of a killed run");
        TempFolder folder;
        const std::string path = folder.file(fileName);
        const std::string other = folder.file("andere.bin.zumt-tmp-abc123");
        writeBytes(path + ".zumt-tmp-x1y2z3", OldBytes);
        writeBytes(other, OldBytes);
        expectWritesAgain(path);
        EXPECT_EQ(filesIn(folder.path()).size(), 2u) << "our leftover stayed";
        EXPECT_TRUE(fileExists(other)) << "another file's temporary went";
    }

    // Where the whole path may be that long (not in Windows' ANSI calls).
    if (TempFolder folder; folder.file(std::string(255, 'L')).size() <= maxPathLength()) {
        SCOPED_TRACE("a name of 255 bytes");
        const std::string ext = extensionOf(fileName).value_or("");
        const std::string path = oldFile(folder, std::string(255 - ext.size(), 'L') + ext);
        expectWritesAgain(path);
        EXPECT_EQ(filesIn(folder.path()).size(), 1u);
    }

#ifdef _WIN32
    {
        SCOPED_TRACE("attributes kept");
        TempFolder folder;
        const std::string path = oldFile(folder, fileName);
        const DWORD set = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), set));
        expectWritesAgain(path);
        EXPECT_EQ(GetFileAttributesA(path.c_str()) & set, set);
    }
#else
    {
        SCOPED_TRACE("a symbolic link stays a link; owner, group and mode stay (as root)");
        TempFolder folder;
        std::filesystem::create_directory(folder.path() / "echt");
        const std::string real = folder.file("echt") + "/" + fileName;
        writeBytes(real, OldBytes);
        const bool root = geteuid() == 0;
        ASSERT_TRUE(!root || chown(real.c_str(), 12345, 12346) == 0);
        ASSERT_EQ(chmod(real.c_str(), 0640), 0);
        const std::string path = folder.file(fileName);
        std::filesystem::create_symlink("echt/" + fileName, path);
        expectWritesAgain(path);
        EXPECT_TRUE(std::filesystem::is_symlink(path));
        EXPECT_EQ(filesIn(folder.path() / "echt"), std::vector<std::string>{fileName});
        struct stat st;
        ASSERT_EQ(stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_TRUE(!root || (st.st_uid == 12345u && st.st_gid == 12346u));
    }

    if (geteuid() == 0) {
        SCOPED_TRACE("another user's file in a folder anyone may write");
        expectRefusedToUser(fileName, write, 0, 0, "Can't open %s!\n");
        SCOPED_TRACE("a group the user is not in");
        expectRefusedToUser(fileName, write, 65534, 12345,
                            "%s: Besitzer kann nicht erhalten werden!\n");
    }

    {
        SCOPED_TRACE("a termination signal during the write");
        TempFolder folder;
        const std::string path = oldFile(folder, fileName);
        EXPECT_TRUE(terminatedWhileWriting(folder.path(), 1, [&] {
            setWriteFaultForTesting(WriteFault::Stalls, 1);
            write(path);
        }));
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{fileName});
        EXPECT_EQ(readBytes(path), OldBytes);
    }
#endif
}

#ifndef _WIN32
bool asOrdinaryUser(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(9);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool terminatedWhileWriting(const std::filesystem::path& folder, std::size_t temporaries,
                            const std::function<void()>& write) {
    const pid_t child = fork();
    if (child == 0) {
        write();
        _exit(0);
    }
    for (int i = 0; i < 1000 && temporariesIn(folder) < temporaries; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(temporariesIn(folder), temporaries) << "the write never reached its stall";
    kill(child, SIGTERM);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGTERM;
}
#endif
