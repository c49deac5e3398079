#include "raster/terragen_file.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

class TerragenRead : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    TerragenFile ter;

    int load(const TerragenBuilder& file) { return load(file.bytes()); }
    int load(const std::vector<std::uint8_t>& bytes) {
        writeBytes(tmp.file("t.ter"), bytes);
        return ter.read(tmp.file("t.ter"));
    }
    std::vector<std::string> formatError() const {
        return {"Formatfehler in " + tmp.file("t.ter") + "!\n"};
    }
};

std::vector<std::int16_t> ramp(std::size_t n) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::int16_t>(100 * i - 700);
    return v;
}

} // namespace

TEST_F(TerragenRead, ShapesTheSamplesByCountsAndPadding) {
    // "SIZE" alone gives a square field; explicit counts win over it.
    ASSERT_EQ(load(TerragenBuilder().count("SIZE", 256).heights(1, 0, ramp(257 * 257))), 1);
    EXPECT_EQ(ter.xpts, 257);
    EXPECT_EQ(ter.ypts, 257);
    ASSERT_EQ(load(TerragenBuilder().count("SIZE", 9).count("XPTS", 4).heights(1, 0, ramp(40))), 1);
    EXPECT_EQ(ter.xpts, 4);
    EXPECT_EQ(ter.ypts, 10);
    // 3 × 3 samples are followed by 2 padding bytes, 4 × 4 by none; the
    // "SCAL" after them is only found at the right offset. Tags in any case.
    for (int n : {3, 4}) {
        SCOPED_TRACE(n);
        auto file = TerragenBuilder("terragen", "tErRaIn ")
                        .count("size", static_cast<std::uint16_t>(n - 1))
                        .heights(16384, 0, ramp(static_cast<std::size_t>(n * n)), "altw")
                        .scale(2.0f, 2.0f, 4.0f)
                        .end("eof ")
                        .raw("junk after the end");
        ASSERT_EQ(load(file), 1);
        EXPECT_EQ(ter.scaleZ, 4.0f);
        EXPECT_EQ(ter.samples[static_cast<std::size_t>(n * n - 1)], 100 * (n * n - 1) - 700);
    }
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(TerragenRead, HeightsInCentimetres) {
    // (16384 × 256 / 65536 + 10) × 30 m = 2220 m; the same without "SCAL".
    for (bool scal : {true, false}) {
        TerragenBuilder file;
        file.count("SIZE", 1);
        if (scal) file.scale(7, 7, 30);
        ASSERT_EQ(load(file.heights(256, 10, {16384, -16384, 32767, -32768})), 1);
        EXPECT_EQ(ter.heightAt(0, 0), 222000.0);
        EXPECT_EQ(ter.heightAt(1, 0), (-64.0 + 10) * 3000.0); // below the base
        EXPECT_EQ(ter.heightAt(0, 1), (32767.0 * 256 / 65536 + 10) * 3000.0);
    }
    EXPECT_EQ(ter.scaleX, 30.0f);
    // Extreme samples times an extreme scale: exact, no overflow.
    ASSERT_EQ(load(TerragenBuilder().count("SIZE", 1).scale(1, 1, 1).heights(
                  -32768, -32768, {-32768, 32767, 0, 0})),
              1);
    EXPECT_EQ(ter.heightAt(0, 0), (16384.0 - 32768.0) * 100.0);
    EXPECT_EQ(ter.heightAt(1, 0), (-32767.0 / 2 - 32768.0) * 100.0);
    // Clamped at every edge.
    ASSERT_EQ(load(TerragenBuilder().count("XPTS", 3).count("YPTS", 2).scale(1, 1, 1).heights(
                  -1, 0, ramp(6))),
              1);
    auto at = [&](std::int32_t x, std::int32_t y) { return ter.heightAt(x, y); };
    EXPECT_EQ(at(-1, 0), at(0, 0));
    EXPECT_EQ(at(3 + 5, 2), at(2, 1));
    EXPECT_EQ(at(INT32_MIN, INT32_MAX), at(0, 1));
    EXPECT_EQ(at(INT32_MAX, INT32_MIN), at(2, 0));
    EXPECT_NE(at(2, 1), at(0, 0));
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(TerragenRead, RefusesOtherFiles) {
    const std::string file[] = {"", "TERRA", "TERRAGENTERRAINX", "TERRAGENTERRAIN"};
    const char* message[] = {"Keyword TERRAGEN missing!\n", "Keyword TERRAGEN missing!\n",
                             "Keyword TERRAIN missing!\n", "Keyword TERRAIN missing!\n"};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(file[i]);
        capture.reset();
        EXPECT_EQ(load(std::vector<std::uint8_t>(file[i].begin(), file[i].end())), 0);
        EXPECT_EQ(capture.messages, std::vector<std::string>{message[i]});
        EXPECT_EQ(ter.scaleX, 0.0f);
    }
    capture.reset();
    EXPECT_EQ(ter.read(tmp.file("fehlt.ter")), 0);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Can't open " + tmp.file("fehlt.ter") + "!\n"});
}

TEST_F(TerragenRead, BadChunksAreFormatErrors) {
    // An unknown tag before the samples keeps what came before.
    EXPECT_EQ(
        load(TerragenBuilder().count("SIZE", 1).scale(5, 5, 5).raw("ZZZZ").heights(1, 0, ramp(4))),
        0);
    EXPECT_EQ(capture.messages, formatError());
    EXPECT_EQ(ter.scaleX, 5.0f);
    EXPECT_TRUE(ter.samples.empty());
    // After whole samples, an unknown or short chunk ends the file quietly.
    capture.reset();
    EXPECT_EQ(load(TerragenBuilder().count("SIZE", 1).heights(1, 0, ramp(4)).raw("XPTs")), 1);
    EXPECT_EQ(load(TerragenBuilder().count("SIZE", 1).heights(1, 0, ramp(4)).raw("ZZZZ")), 1);
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_EQ(ter.samples.size(), 4u);

    // Samples the file does not hold (the cut files are swept with the
    // height source): none are kept, and none are allocated for a small
    // file that claims 65535 × 65535, nor for a second "ALTW" that is short.
    std::vector<std::uint8_t> cases[] = {
        TerragenBuilder().count("XPTS", 65535).count("YPTS", 65535).heights(1, 0, ramp(30)).bytes(),
        TerragenBuilder().count("SIZE", 1).heights(1, 0, ramp(4)).heights(1, 0, ramp(2)).bytes(),
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        capture.reset();
        EXPECT_EQ(load(cases[i]), 0);
        EXPECT_EQ(capture.messages, formatError());
        EXPECT_TRUE(ter.samples.empty());
    }
}

TEST_F(TerragenRead, SamplesKeepTheirShape) {
    // A second "ALTW" replaces the first.
    auto file = TerragenBuilder()
                    .count("SIZE", 1)
                    .scale(1, 1, 1)
                    .heights(65, 0, {1, 2, 3, 4})
                    .heights(1, 7, {40, 30, 20, 10});
    ASSERT_EQ(load(file), 1);
    EXPECT_EQ(ter.heightAt(0, 0), (40.0 / 65536 + 7) * 100.0);
    // Counts after the samples never make the grid larger than they are...
    ASSERT_EQ(load(file.count("XPTS", 300).count("YPTS", 200).count("SIZE", 999)), 1);
    EXPECT_EQ(ter.xpts, 2);
    EXPECT_EQ(ter.ypts, 2);
    EXPECT_EQ(ter.heightAt(500, 500), (10.0 / 65536 + 7) * 100.0);
    // ...but shape a later "ALTW".
    ASSERT_EQ(load(file.count("YPTS", 2).count("XPTS", 3).heights(0, 2, ramp(6))), 1);
    EXPECT_EQ(ter.xpts, 3);
    EXPECT_EQ(ter.samples.size(), 6u);
    EXPECT_TRUE(capture.messages.empty());
}
