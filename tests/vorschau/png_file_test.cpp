#include "tests/vorschau/png_reader.h"
#include "vorschau/png_file.h"

#include <gtest/gtest.h>
#include <string>

namespace {

RgbImage pattern(std::int32_t w, std::int32_t h) {
    RgbImage image;
    image.width = w;
    image.height = h;
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                image.rgb.push_back(static_cast<std::uint8_t>(x * 7 + y * 13 + c * 101));
    return image;
}

} // namespace

TEST(PngWrite, DecodesBackToThePixels) {
    // 1 x 1 and a single row are the small ends.
    for (auto [w, h] : {std::pair{3, 2}, std::pair{200, 120}, std::pair{1, 1}, std::pair{500, 1}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const RgbImage image = pattern(w, h);
        const DecodedPng d = decodePng(encodePng(image));
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.rgb, image.rgb);
    }
    // Compressed: the README picture needs no other tool.
    EXPECT_LT(encodePng(pattern(200, 120)).size(), 200u * 120u * 3u / 4u);
}

TEST(PngWrite, RefusesPicturesItCannotHold) {
    RgbImage image = pattern(4, 3);
    image.rgb.pop_back();
    EXPECT_TRUE(encodePng(image).empty());
    EXPECT_TRUE(encodePng(RgbImage{}).empty());
    RgbImage wide;
    wide.width = MaxPngSide + 1;
    wide.height = 1;
    wide.rgb.resize(static_cast<std::size_t>(wide.width) * 3);
    EXPECT_TRUE(encodePng(wide).empty());
    RgbImage negative;
    negative.width = -1;
    negative.height = -3;
    negative.rgb.resize(9);
    EXPECT_TRUE(encodePng(negative).empty());
}
