#include "raster/bitmap_file.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

// What a failed read leaves: a released record, no pixel block.
void expectReleased(const BitmapFile& bmp) {
    EXPECT_EQ(bmp.magic[0], 0);
    EXPECT_EQ(bmp.width, 0);
    EXPECT_EQ(bmp.height, 0);
    EXPECT_TRUE(bmp.pixels.empty());
}

} // namespace

TEST(BitmapRead, MatchesImageMagickInBothHeaderForms) {
    // ImageMagick lists the top row first; a bottom-up bitmap stores it last.
    // Pixel (0, 0) of each picture is stored 00 27 10 and reads as 10000.
    int checked = 0;
    for (const auto& row : readTable("imagemagick_pixels.csv")) {
        if (row[0].rfind("im_bmp", 0) != 0) continue;
        SCOPED_TRACE(row[0] + " " + row[3] + "," + row[4]);
        BitmapFile bmp;
        ASSERT_EQ(bmp.read(testDataFile(row[0])), 1);
        const bool core = row[0].find("bmp2") != std::string::npos;
        EXPECT_EQ(bmp.dataOffset, core ? 26u : 54u);
        EXPECT_EQ(bmp.compression, 0u);
        EXPECT_EQ(bmp.width, std::stoi(row[1]));
        EXPECT_EQ(bmp.height, std::stoi(row[2]));
        EXPECT_EQ(bmp.stride, (3 * bmp.width + 3) / 4 * 4); // 4, 12, 16 for 1, 3, 5
        const int value = std::stoi(row[7]) * 65536 + std::stoi(row[6]) * 256 + std::stoi(row[5]);
        EXPECT_EQ(bmp.pixelAt(std::stoi(row[3]), bmp.height - 1 - std::stoi(row[4])), value);
        ++checked;
    }
    EXPECT_EQ(checked, 2 * (3 + 6 + 20));
}

TEST(BitmapPixelAt, ClampsAtEveryEdge) {
    TempFolder tmp;
    BitmapPlan plan{5, 4};
    plan.pixel = [](std::int32_t x, std::int32_t y) {
        return 100 * y + x + (x == 4 ? 0xFF0000 : 0);
    };
    writeBytes(tmp.file("c.bmp"), makeBitmap(plan));
    BitmapFile bmp;
    ASSERT_EQ(bmp.read(tmp.file("c.bmp")), 1);
    EXPECT_EQ(bmp.pixelAt(-5, 2), 200);
    EXPECT_EQ(bmp.pixelAt(5 + 3, 4), 0xFF0000 + 304);
    EXPECT_EQ(bmp.pixelAt(INT32_MIN, INT32_MAX), 300);
    EXPECT_EQ(bmp.pixelAt(INT32_MAX, INT32_MIN), 0xFF0000 + 4);
}

TEST(BitmapRead, RefusesOtherFormats) {
    TempFolder tmp;
    MessageCapture capture;
    auto bitmap = [](auto change) {
        BitmapPlan s{3, 2};
        change(s);
        return makeBitmap(s);
    };
    std::vector<std::uint8_t> cases[] = {
        bitmap([](BitmapPlan& s) { s.bitCount = 32; }),
        bitmap([](BitmapPlan& s) { s.bitCount = 16, s.coreHeader = true; }),
        bitmap([](BitmapPlan& s) { s.planes = 2; }),
        bitmap([](BitmapPlan& s) { s.compression = 1; }),
        bitmap([](BitmapPlan& s) { s.magic[1] = 'A'; }),
        bitmap([](BitmapPlan& s) { s.dataOffset = 54 + 1024; }), // colour table
        bitmap([](BitmapPlan& s) { s.height = -2; }),            // top-down rows
        bitmap([](BitmapPlan& s) { s.width = 0; }),
        bitmap([](BitmapPlan& s) { s.height = 0, s.coreHeader = true; }),
        {'h', 'i'},
        readBytes(testDataFile("im_bmp3_rgb565.bmp")), // ImageMagick's 16 bits
        readBytes(testDataFile("im_bmp5_w3.bmp")),     // and its later header
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        capture.reset();
        writeBytes(tmp.file("x.bmp"), cases[i]);
        BitmapFile bmp;
        EXPECT_EQ(bmp.read(tmp.file("x.bmp")), 0);
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{"Falsches Bitmapformat: " + tmp.file("x.bmp") + "!\n"});
        expectReleased(bmp);
    }
}

TEST(BitmapRead, RefusesFilesThatLieAboutTheirSizeOrAreCut) {
    TempFolder tmp;
    MessageCapture capture;
    std::vector<std::vector<std::uint8_t>> cases;
    // 100 bytes that claim huge pictures: refused before any allocation.
    for (auto [w, h] : {std::pair{65535, 65535}, {INT32_MAX, INT32_MAX}, {INT32_MAX, 1}}) {
        BitmapPlan plan{w, h};
        plan.withRows = false;
        cases.push_back(makeBitmap(plan));
        cases.back().resize(100, 0x41);
    }
    // Every prefix of a real file, in both header forms.
    for (const char* name : {"im_bmp3_w5.bmp", "im_bmp2_w5.bmp"}) {
        const std::vector<std::uint8_t> whole = readBytes(testDataFile(name));
        for (std::size_t n = 0; n < whole.size(); ++n)
            cases.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        capture.reset();
        writeBytes(tmp.file("cut.bmp"), cases[i]);
        BitmapFile bmp;
        EXPECT_EQ(bmp.read(tmp.file("cut.bmp")), 0);
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{"Fehler beim Lesen von " + tmp.file("cut.bmp") + "!\n"});
        expectReleased(bmp);
    }
}
