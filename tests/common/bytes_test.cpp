// The little-endian primitives are held by every golden file; these are the
// edges the files do not reach.
#include "common/bytes.h"
#include "common/numeric.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

TEST(ByteReader, FailureIsStickyAndLeavesThePosition) {
    const std::uint8_t data[] = {1, 2, 3, 5, 'a', 'b'};
    ByteReader r(data, 3);
    EXPECT_EQ(r.u16(), 0x0201);
    EXPECT_EQ(r.i32(), 0); // only one byte left
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.position(), 2u);
    EXPECT_EQ(r.u8(), 0); // a byte is there, but the reader has failed
    EXPECT_EQ(r.position(), 2u);

    // The wide getters too: 8 bytes wanted, 5 there, the position stays.
    for (auto wide : {&ByteReader::u64, &ByteReader::u64be}) {
        ByteReader w(data, 6);
        w.u8();
        EXPECT_EQ((w.*wide)(), 0u);
        EXPECT_TRUE(w.failed());
        EXPECT_EQ(w.position(), 1u);
    }

    ByteReader cut(data + 3, 3); // a counted text cut short
    EXPECT_EQ(cut.view(cut.u8()), "");
    EXPECT_TRUE(cut.failed());

    // Huge lengths do not wrap around.
    ByteReader huge(data, 4);
    huge.u8();
    EXPECT_FALSE(huge.has(std::numeric_limits<std::size_t>::max()));
    EXPECT_FALSE(huge.skip(std::numeric_limits<std::size_t>::max() - 1));
    EXPECT_TRUE(huge.failed());
    EXPECT_EQ(huge.position(), 1u);
}

TEST(Numeric, TruncationOutsideTheRangeGivesTheIndefiniteValue) {
    EXPECT_EQ(truncToInt32(-12.7), -12);
    EXPECT_EQ(truncToInt32(12.7), 12);
    EXPECT_EQ(truncToInt32(2147483647.9), 2147483647);
    EXPECT_EQ(truncToInt32(-2147483648.9), INT32_MIN);
    EXPECT_EQ(truncToInt32(2147483648.0), INT32_MIN);
    EXPECT_EQ(truncToInt32(1e300), INT32_MIN);
    EXPECT_EQ(truncToInt32(std::nan("")), INT32_MIN);
    EXPECT_EQ(wrapAdd(INT32_MAX, 1), INT32_MIN);
}

TEST(Numeric, SinglePrecisionRoundsToNearestBeyondTheRange) {
    const float largest = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(toSingle(0.1), 0.1f);
    EXPECT_EQ(toSingle(-2.02), -2.02f);
    EXPECT_EQ(toSingle(3.4028235677973362e38), largest); // just below the halfway point
    EXPECT_EQ(toSingle(3.4028235677973366e38), inf);     // 2^128 - 2^103: halfway, to even
    EXPECT_EQ(toSingle(-1e39), -inf);
    EXPECT_EQ(toSingle(1e300), inf);
    EXPECT_TRUE(std::isnan(toSingle(std::nan(""))));
}

TEST(ByteWriter, ReusedMemoryStartsEmptyAndGrowsPastEveryLook) {
    std::vector<std::uint8_t> old(1000, 0xAA);
    ByteWriter w(std::move(old));
    EXPECT_EQ(w.size(), 0u);
    w.u16(0x0102);
    EXPECT_EQ(w.buffer(), (std::vector<std::uint8_t>{0x02, 0x01}));
    for (int i = 0; i < 300; ++i)
        w.u8(static_cast<std::uint8_t>(i));
    const ByteWriter& view = w;
    ASSERT_EQ(view.buffer().size(), 302u);
    EXPECT_EQ(view.buffer()[301], static_cast<std::uint8_t>(299));
    EXPECT_EQ(w.size(), 302u);
}

TEST(ByteCursor, NeverWritesPastItsEnd) {
    std::uint8_t data[7] = {};
    ByteCursor c(data, 6);
    c.u16(0x0201);
    ByteCursor record = c.take(4);
    record.i32(-1);
    EXPECT_TRUE(c.atEnd());
    EXPECT_FALSE(record.failed());
    record.u8(9); // beyond the record
    c.u8(9);      // beyond the cursor
    EXPECT_TRUE(record.failed());
    EXPECT_TRUE(c.failed());
    c.take(1).u8(9);
    EXPECT_EQ(std::vector<std::uint8_t>(data, data + 7),
              (std::vector<std::uint8_t>{1, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
}
