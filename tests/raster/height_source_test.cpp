#include "raster/height_source.h"
#include "raster/terrain_settings.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>

namespace {

class HeightSourceTest : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    std::string put(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        writeBytes(tmp.file(name), bytes);
        return tmp.file(name);
    }
};

} // namespace

TEST_F(HeightSourceTest, BitmapHeightsMatchImageMagickValues) {
    // The values as ImageMagick read them (top row first), corner means and
    // bounds computed from them here. The picture holds 0 and 0xFFFFFF.
    std::map<std::pair<int, int>, double> value;
    for (const auto& row : readTable("imagemagick_pixels.csv"))
        if (row[0] == "im_height_4x3.bmp")
            value[{std::stoi(row[3]), 2 - std::stoi(row[4])}] =
                std::stoi(row[7]) * 65536.0 + std::stoi(row[6]) * 256.0 + std::stoi(row[5]);
    ASSERT_EQ(value.size(), 12u);
    auto pixel = [&](int x, int y) { return value[{std::clamp(x, 0, 3), std::clamp(y, 0, 2)}]; };
    BitmapHeightSource src(testDataFile("im_height_4x3.bmp"), 3000);
    ASSERT_EQ(src.gridWidth, 4);
    ASSERT_EQ(src.gridHeight, 3);
    for (int y = -1; y <= 4; ++y)
        for (int x = -1; x <= 5; ++x) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            const double mean =
                (pixel(x, y) + pixel(x - 1, y - 1) + pixel(x - 1, y) + pixel(x, y - 1)) * 0.25;
            EXPECT_EQ(src.heightAt(x, y), mean - 10000.0);
        }
    EXPECT_EQ(src.minHeight, -10000.0);
    EXPECT_EQ(src.maxHeight, 16767215.0);
}

TEST_F(HeightSourceTest, TerragenMatchesGdal) {
    // GDAL's row 0 is the north edge, which the file stores last; its heights
    // are metres. Its pixel size is the file's float x scale: 0.29f must
    // give 28 cm, and the 30 m file has no "SCAL" chunk at all.
    int checked = 0;
    std::unique_ptr<TerragenHeightSource> src;
    std::string current;
    for (const auto& row : readTable("gdal_heights.csv")) {
        SCOPED_TRACE(row[0] + " " + row[4] + "," + row[5]);
        if (row[0] != current) {
            current = row[0];
            src = std::make_unique<TerragenHeightSource>(testDataFile(current));
        }
        ASSERT_EQ(src->gridWidth, std::stoi(row[1]) - 1);
        ASSERT_EQ(src->gridHeight, std::stoi(row[2]) - 1);
        EXPECT_EQ(src->pixelSize, static_cast<std::int32_t>(std::stod(row[3]) * 100.0));
        const std::int32_t x = std::stoi(row[4]), y = src->gridHeight - std::stoi(row[5]);
        EXPECT_EQ(src->terrain.samples[static_cast<std::size_t>(y * (src->gridWidth + 1) + x)],
                  std::stoi(row[6]));
        const double gdalCm = std::stod(row[7]) * 100.0;
        EXPECT_NEAR(src->heightAt(x, y), gdalCm, 1e-9 * std::max(1.0, std::abs(gdalCm)));
        EXPECT_LE(src->minHeight, src->heightAt(x, y));
        EXPECT_GE(src->maxHeight, src->heightAt(x, y));
        ++checked;
    }
    EXPECT_EQ(checked, 9 + 8 + 15 + 36);
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(HeightSourceTest, TerragenPixelSizeAndBounds) {
    for (auto [scale, size] :
         {std::pair{30.0f, 3000}, {0.29f, 28}, {0.0f, 781}, {-0.0f, 781}, {-1.5f, -150}}) {
        SCOPED_TRACE(scale);
        TerragenBuilder file;
        file.count("SIZE", 1).scale(scale, 7, 1).heights(0, 0, {0, 0, 0, 0});
        TerragenHeightSource src(put("s.ter", file.bytes()));
        EXPECT_EQ(src.pixelSize, size);
    }
    // The bounds are the lowest and highest height for every sign of
    // HeightScale and of the vertical scale; no 10000 offset.
    const std::vector<std::int16_t> samples = {-32768, 5, 32767, 0, -7, 12000, 3, 3, -1};
    for (auto [heightScale, scaleZ] :
         {std::pair<std::int16_t, float>{300, 2.0f}, {-300, 2.0f}, {300, -2.0f}, {0, 1.0f}}) {
        SCOPED_TRACE(heightScale);
        TerragenBuilder file;
        file.count("SIZE", 2).scale(1, 1, scaleZ).heights(heightScale, -3, samples);
        TerragenHeightSource src(put("b.ter", file.bytes()));
        double lo = src.heightAt(0, 0), hi = lo;
        for (std::int32_t y = 0; y <= src.gridHeight; ++y)
            for (std::int32_t x = 0; x <= src.gridWidth; ++x) {
                lo = std::min(lo, src.heightAt(x, y));
                hi = std::max(hi, src.heightAt(x, y));
            }
        EXPECT_EQ(src.minHeight, lo);
        EXPECT_EQ(src.maxHeight, hi);
        EXPECT_EQ(src.heightAt(1, 0), scaleZ * (5.0 * heightScale / 65536 - 3) * 100.0);
    }
}

TEST_F(HeightSourceTest, TerragenWithoutAGridGivesOurMessage) {
    const std::vector<std::int16_t> four = {1, 2, 3, 4};
    const TerragenBuilder cases[] = {
        TerragenBuilder().count("XPTS", 1).count("YPTS", 4).heights(1, 0, four),
        TerragenBuilder().count("XPTS", 4).count("YPTS", 1).heights(1, 0, four),
        TerragenBuilder().count("SIZE", 4).scale(1, 1, 1).end(),  // no samples
        TerragenBuilder().count("SIZE", 65535).heights(1, 0, {}), // 65535 + 1 is 0
    };
    for (const TerragenBuilder& file : cases) {
        capture.reset();
        TerragenHeightSource src(put("g.ter", file.bytes()));
        // Empty, and the terrain released.
        EXPECT_EQ(
            (std::vector{src.gridWidth, src.gridHeight, src.pixelSize, int{src.terrain.xpts}}),
            (std::vector{0, 0, 0, 0}));
        EXPECT_EQ(capture.messages,
                  std::vector<std::string>{"Zu wenig Hoehendaten in " + tmp.file("g.ter") + "!\n"});
    }
}
