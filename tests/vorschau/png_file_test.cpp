#include "tests/support/no_file_lost.h"
#include "tests/vorschau/png_reader.h"
#include "vorschau/png_file.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

PreviewPicture pattern(std::int32_t w, std::int32_t h) {
    PreviewPicture image;
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
        const PreviewPicture image = pattern(w, h);
        const DecodedPng d = decodePng(encodePng(image));
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.rgb, image.rgb);
    }
    // Compressed: the README picture needs no other tool.
    EXPECT_LT(encodePng(pattern(200, 120)).size(), 200u * 120u * 3u / 4u);
    // Pixels that do not fill the sides, or sides beyond the format: nothing.
    const std::tuple<int, int, int> wrong[] = {
        {4, 3, 35}, {0, 0, 0}, {MaxPngSide + 1, 1, 3 * (MaxPngSide + 1)}, {-1, -3, 9}};
    for (auto [w, h, bytes] : wrong) {
        PreviewPicture image;
        image.width = w;
        image.height = h;
        image.rgb.resize(static_cast<std::size_t>(bytes));
        EXPECT_TRUE(encodePng(image).empty()) << w << "x" << h;
    }
}

TEST(PngWrite, NeverLosesTheOldFile) {
    const PreviewPicture image = pattern(3, 2);
    expectNoFileLost("Test.png", [&](const std::string& path) { return writePng(path, image); });
}
