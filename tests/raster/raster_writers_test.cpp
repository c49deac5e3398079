#include "raster/bitmap_file.h"
#include "raster/bitmap_writer.h"
#include "raster/terragen_file.h"
#include "raster/terragen_writer.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

// The converter's round trip holds the usual shapes; here the shapes only
// the tools write: odd sample counts (padding before "EOF "), a square grid
// without "XPTS"/"YPTS", and what cannot be written.
TEST(TerragenWrite, ReadsBackInEveryShape) {
    const struct {
        std::uint16_t xpts, ypts;
        bool pointChunks;
        std::size_t bytes; // 0: refused
    } cases[] = {{3, 3, true, 88}, {4, 2, true, 84}, {3, 3, false, 72},
                 {3, 2, false, 0}, {1, 5, true, 0},  {2, 0, true, 0}};
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.xpts << "x" << k.ypts << " " << k.pointChunks);
        const TerragenHeader h{k.xpts, k.ypts, 2.5f, 3.0f, 0.5f, 300, -7, k.pointChunks};
        const auto image = encodeTerragenFile(h, [&](std::size_t row, std::int16_t* s) {
            for (std::size_t x = 0; x < k.xpts; ++x)
                s[x] = static_cast<std::int16_t>(1000 * row - x);
        });
        ASSERT_EQ(image.size(), k.bytes);
        if (k.bytes == 0) continue;
        TempFolder tmp;
        writeBytes(tmp.file("t.ter"), image);
        TerragenFile ter;
        ASSERT_EQ(ter.read(tmp.file("t.ter")), 1);
        EXPECT_EQ((std::tuple{ter.xpts, ter.ypts, ter.scaleY, ter.scaleZ, ter.heightScale,
                              ter.baseHeight}),
                  (std::tuple{k.xpts, k.ypts, h.scaleY, h.scaleZ, h.heightScale, h.baseHeight}));
        for (std::size_t i = 0; i < ter.samples.size(); ++i)
            EXPECT_EQ(ter.samples[i], static_cast<int>(1000 * (i / k.xpts) - i % k.xpts)) << i;
        EXPECT_EQ(std::string(image.end() - 4, image.end()), "EOF ");
        EXPECT_EQ(image[20], std::min(k.xpts, k.ypts) - 1) << "SIZE: the shorter side - 1";
    }
}

// Every row padded to 4 bytes with zeros, the sizes in the header those of
// the file.
TEST(BitmapWrite, ReadsBackWithZeroPadding) {
    for (std::int32_t width = 1; width <= 4; ++width) {
        SCOPED_TRACE(width);
        const std::int32_t stride = (3 * width + 3) / 4 * 4;
        const auto image = encodeBitmapFile(width, 2, [&](std::int32_t y, std::uint8_t* b) {
            for (std::int32_t i = 0; i < 3 * width; ++i)
                b[i] = static_cast<std::uint8_t>(0x10 * y + i + 1);
        });
        ASSERT_EQ(image.size(), static_cast<std::size_t>(54 + 2 * stride));
        TempFolder tmp;
        writeBytes(tmp.file("b.bmp"), image);
        BitmapFile bmp;
        ASSERT_EQ(bmp.read(tmp.file("b.bmp")), 1);
        EXPECT_EQ(bmp.fileSize, image.size());
        EXPECT_EQ(bmp.imageSize, static_cast<std::uint32_t>(2 * stride));
        for (std::int32_t y = 0; y < 2; ++y) {
            EXPECT_EQ(bmp.pixelAt(width - 1, y), ((0x10 * y + 3 * width - 2) << 16) +
                                                     ((0x10 * y + 3 * width - 1) << 8) + 0x10 * y +
                                                     3 * width);
            for (std::int32_t i = 3 * width; i < stride; ++i)
                EXPECT_EQ(bmp.pixels[static_cast<std::size_t>(y * stride + i)], 0) << i;
        }
    }
    const auto none = [](std::int32_t, std::uint8_t*) { FAIL() << "a refused bitmap is filled"; };
    EXPECT_TRUE(encodeBitmapFile(0, 1, none).empty());
    EXPECT_TRUE(encodeBitmapFile(1, -1, none).empty());
    EXPECT_TRUE(encodeBitmapFile(0x7FFFFFFF, 3, none).empty());
}
