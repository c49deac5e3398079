#include "raster/colour_source.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <climits>
#include <gtest/gtest.h>

TEST(ColourBitmap, MatchesImageMagick) {
    // Stored blue, green, red; ImageMagick lists the top row (stored last) first.
    int checked = 0;
    for (const auto& row : readTable("imagemagick_pixels.csv")) {
        if (row[0].rfind("im_bmp", 0) != 0) continue;
        SCOPED_TRACE(row[0] + " " + row[3] + "," + row[4]);
        ColourBitmap colours(testDataFile(row[0]), 100);
        ASSERT_EQ(colours.width, std::stoi(row[1]));
        EXPECT_EQ(colours.pixelSize, 100);
        const PixelColour c =
            colours.colourAt(std::stoi(row[3]), colours.height - 1 - std::stoi(row[4]));
        EXPECT_EQ(c.red, std::stoi(row[5]));
        EXPECT_EQ(c.green, std::stoi(row[6]));
        EXPECT_EQ(c.blue, std::stoi(row[7]));
        EXPECT_EQ(c.hasColour, 1);
        ++checked;
    }
    EXPECT_EQ(checked, 58);
}

TEST(ColourBitmap, OutsideAndUnreadableGiveNoColour) {
    TempFolder tmp;
    MessageCapture capture;
    ColourBitmap colours(testDataFile("im_bmp3_w3.bmp"), 100);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {INT32_MIN, INT32_MAX}})
        EXPECT_EQ(colours.colourAt(x, y).hasColour, 0);
    ColourBitmap missing(tmp.file("fehlt.bmp"), 100);
    EXPECT_EQ(missing.width, 0);
    EXPECT_EQ(missing.pixelSize, 0);
    EXPECT_EQ(missing.colourAt(0, 0).hasColour, 0);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Can't open " + tmp.file("fehlt.bmp") + "!\n"});
}
