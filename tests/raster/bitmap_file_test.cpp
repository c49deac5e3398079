#include "raster/bitmap_file.h"
#include "raster/colour_source.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <climits>
#include <gtest/gtest.h>

TEST(BitmapRead, MatchesImageMagickInBothHeaderForms) {
    // ImageMagick lists the top row first; a bottom-up bitmap stores it last.
    // Pixel (0, 0) of each picture is stored 00 27 10 and reads as 10000; the
    // colour source gives the same bytes as blue, green, red.
    int checked = 0;
    for (const auto& row : readTable("imagemagick_pixels.csv")) {
        if (row[0].rfind("im_bmp", 0) != 0) continue;
        SCOPED_TRACE(row[0] + " " + row[3] + "," + row[4]);
        BitmapFile bmp;
        ASSERT_EQ(bmp.read(testDataFile(row[0])), 1);
        EXPECT_EQ(bmp.dataOffset, row[0].find("bmp2") != std::string::npos ? 26u : 54u);
        EXPECT_EQ(bmp.width, std::stoi(row[1]));
        EXPECT_EQ(bmp.height, std::stoi(row[2]));
        const int x = std::stoi(row[3]), y = bmp.height - 1 - std::stoi(row[4]);
        const int red = std::stoi(row[5]), green = std::stoi(row[6]), blue = std::stoi(row[7]);
        EXPECT_EQ(bmp.pixelAt(x, y), blue * 65536 + green * 256 + red);
        ColourBitmap colours(testDataFile(row[0]), 100);
        const PixelColour c = colours.colourAt(x, y);
        EXPECT_EQ(std::vector<int>({c.red, c.green, c.blue, c.hasColour}),
                  std::vector<int>({red, green, blue, 1}));
        ++checked;
    }
    EXPECT_EQ(checked, 2 * (3 + 6 + 20));

    // Pixels beyond the edges clamp, also at the extremes of the arguments;
    // colours there are none.
    BitmapFile bmp;
    ASSERT_EQ(bmp.read(testDataFile("im_bmp3_w3.bmp")), 1);
    EXPECT_EQ(bmp.pixelAt(INT32_MIN, INT32_MAX), bmp.pixelAt(0, 1));
    EXPECT_EQ(bmp.pixelAt(INT32_MAX, INT32_MIN), bmp.pixelAt(2, 0));
    ColourBitmap colours(testDataFile("im_bmp3_w3.bmp"), 100);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 2}, {INT32_MIN, INT32_MAX}})
        EXPECT_EQ(colours.colourAt(x, y).hasColour, 0);
}

TEST(BitmapRead, RefusesOtherFormatsAndFilesThatLieOrAreCut) {
    TempFolder tmp;
    MessageCapture capture;
    auto bitmap = [](auto change) {
        BitmapPlan s{3, 2};
        change(s);
        return makeBitmap(s);
    };
    const std::string path = tmp.file("x.bmp");
    const std::string wrongFormat = "Falsches Bitmapformat: " + path + "!\n";
    const std::string readError = "Fehler beim Lesen von " + path + "!\n";
    std::vector<std::pair<std::vector<std::uint8_t>, std::string>> cases = {
        {bitmap([](BitmapPlan& s) { s.bitCount = 32; }), wrongFormat},
        {bitmap([](BitmapPlan& s) { s.bitCount = 16, s.coreHeader = true; }), wrongFormat},
        {bitmap([](BitmapPlan& s) { s.planes = 2; }), wrongFormat},
        {bitmap([](BitmapPlan& s) { s.compression = 1; }), wrongFormat},
        {bitmap([](BitmapPlan& s) { s.magic[1] = 'A'; }), wrongFormat},
        {bitmap([](BitmapPlan& s) { s.dataOffset = 54 + 1024; }), wrongFormat}, // colour table
        {bitmap([](BitmapPlan& s) { s.height = -2; }), wrongFormat},            // top-down rows
        {bitmap([](BitmapPlan& s) { s.width = 0; }), wrongFormat},
        {bitmap([](BitmapPlan& s) { s.height = 0, s.coreHeader = true; }), wrongFormat},
        {{'h', 'i'}, wrongFormat},
        {readBytes(testDataFile("im_bmp3_rgb565.bmp")), wrongFormat}, // ImageMagick's 16 bits
        {readBytes(testDataFile("im_bmp5_w3.bmp")), wrongFormat},     // and its later header
    };
    // 100 bytes that claim huge pictures: refused before any allocation.
    for (auto [w, h] : {std::pair{65535, 65535}, {INT32_MAX, INT32_MAX}, {INT32_MAX, 1}}) {
        BitmapPlan plan{w, h};
        plan.withRows = false;
        cases.push_back({makeBitmap(plan), readError});
        cases.back().first.resize(100, 0x41);
    }
    // Every prefix of a real file, in both header forms.
    for (const char* name : {"im_bmp3_w5.bmp", "im_bmp2_w5.bmp"}) {
        const std::vector<std::uint8_t> whole = readBytes(testDataFile(name));
        for (std::size_t n = 0; n < whole.size(); ++n)
            cases.push_back(
                {{whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)}, readError});
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        capture.reset();
        writeBytes(path, cases[i].first);
        BitmapFile bmp;
        EXPECT_EQ(bmp.read(path), 0);
        EXPECT_EQ(capture.messages, std::vector<std::string>{cases[i].second});
        EXPECT_EQ(bmp.magic[0], 0);
        EXPECT_EQ(bmp.width, 0);
        EXPECT_EQ(bmp.height, 0);
        EXPECT_TRUE(bmp.pixels.empty());
    }
    capture.reset();
    ColourBitmap missing(tmp.file("fehlt.bmp"), 100);
    EXPECT_EQ(missing.width, 0);
    EXPECT_EQ(missing.pixelSize, 0);
    EXPECT_EQ(missing.colourAt(0, 0).hasColour, 0);
    ColourBitmap device(Device, 100);
    EXPECT_EQ(device.width, 0);
    EXPECT_EQ(capture.messages,
              (std::vector<std::string>{"Can't open " + tmp.file("fehlt.bmp") + "!\n",
                                        std::string(Device) + " ist keine Datei!\n"}));
}
