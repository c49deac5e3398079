#include "common/byte_source.h"
#include "tests/support/test_support.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

// The two kinds of source hand out the same bytes for the same reads: the
// readers must not care which one they were given. A read that reaches past
// the end gives what is there; a whole read or a view of it fails.
TEST(ByteSource, FileAndMemoryGiveTheSameBytes) {
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    TempFolder tmp;
    writeBytes(tmp.file("bytes.bin"), bytes);
    FileSource file;
    ASSERT_EQ(file.open(tmp.file("bytes.bin")), InputProblem::None);
    const MemorySource memory(bytes.data(), bytes.size());

    const struct {
        std::uint64_t offset;
        std::size_t n;
        std::size_t got; // bytes that arrive
    } cases[] = {
        {0, 10, 10}, {0, 100, 100}, {95, 10, 5},        {99, 1, 1},
        {100, 1, 0}, {250, 4, 0},   {UINT64_MAX, 2, 0}, {40, 0, 0},
    };
    for (const ByteSource* source :
         {static_cast<const ByteSource*>(&file), static_cast<const ByteSource*>(&memory)}) {
        EXPECT_EQ(source->size(), bytes.size());
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.offset) + " + " + std::to_string(c.n) +
                         (source == &file ? " (file)" : " (memory)"));
            std::vector<std::uint8_t> out(c.n, 0xEE);
            ASSERT_EQ(source->readSome(c.offset, c.n, out.data()), c.got);
            for (std::size_t i = 0; i < c.got; ++i)
                ASSERT_EQ(out[i], bytes[c.offset + i]);
            EXPECT_EQ(source->read(c.offset, c.n, out.data()), c.got == c.n);
            std::vector<std::uint8_t> buffer;
            const auto view = source->view(c.offset, c.n, buffer);
            EXPECT_EQ(view.size(), c.got == c.n ? c.n : 0);
            if (!view.empty()) {
                EXPECT_EQ(view[0], bytes[c.offset]);
            }
        }
        EXPECT_FALSE(source->readFailed());
    }
    EXPECT_TRUE(file.isFile());
    EXPECT_FALSE(memory.isFile());
}

// Positional reads reach beyond 4 GiB (BigTIFF, archives): a sparse file
// of 5 GiB with three bytes past the 32-bit range.
TEST(ByteSource, ReadsBeyondFourGigabytes) {
    TempFolder tmp;
    const std::string path = tmp.file("large.bin");
    const std::uint64_t size = std::uint64_t{5} << 30, at = (std::uint64_t{1} << 32) + 1;
    {
        std::ofstream out(std::filesystem::path(path), std::ios::binary);
        out.seekp(static_cast<std::streamoff>(at));
        out.write("xyz", 3);
        ASSERT_TRUE(out.good());
    }
    std::filesystem::resize_file(std::filesystem::path(path), size);
    FileSource file;
    ASSERT_EQ(file.open(path), InputProblem::None);
    EXPECT_EQ(file.size(), size);
    char got[4] = {};
    ASSERT_TRUE(file.read(at - 1, 4, got));
    EXPECT_EQ(std::string(got, 4), std::string("\0xyz", 4));
    EXPECT_EQ(file.readSome(size - 2, 4, got), 2u);
    EXPECT_FALSE(file.read(size - 2, 4, got));
    EXPECT_FALSE(file.readFailed());
}
