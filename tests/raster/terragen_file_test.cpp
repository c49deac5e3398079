#include "raster/terragen_file.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

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
};

std::vector<std::int16_t> ramp(std::size_t n) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::int16_t>(100 * i - 700);
    return v;
}

} // namespace

TEST_F(TerragenRead, ShapesAndScalesTheSamples) {
    // The GDAL files hold the usual shapes and heights. Here: "SIZE" alone
    // gives a square field, explicit counts win over it, an odd number of
    // samples is padded (the "SCAL" after them is found only at the right
    // offset), tags and keywords in any case, nothing after "EOF " is read.
    ASSERT_EQ(load(TerragenBuilder().count("SIZE", 256).heights(1, 0, ramp(257 * 257))), 1);
    EXPECT_EQ(ter.xpts, 257);
    EXPECT_EQ(ter.ypts, 257);
    ASSERT_EQ(load(TerragenBuilder("terragen", "tErRaIn ")
                       .count("size", 8)
                       .count("XPTS", 3)
                       .heights(1, 0, ramp(27), "altw")
                       .scale(2.0f, 2.0f, 4.0f)
                       .end("eof ")
                       .raw("junk after the end")),
              1);
    EXPECT_EQ(ter.xpts, 3);
    EXPECT_EQ(ter.ypts, 9);
    EXPECT_EQ(ter.scaleZ, 4.0f);
    // Extreme samples times an extreme scale: exact, no overflow.
    ASSERT_EQ(load(TerragenBuilder().count("SIZE", 1).scale(1, 1, 1).heights(
                  -32768, -32768, {-32768, 32767, 0, 0})),
              1);
    EXPECT_EQ(ter.heightAt(0, 0), (16384.0 - 32768.0) * 100.0);
    EXPECT_EQ(ter.heightAt(1, 0), (-32767.0 / 2 - 32768.0) * 100.0);
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(TerragenRead, ChunksInOrderOrRefused) {
    auto text = [](const std::string& t) { return std::vector<std::uint8_t>(t.begin(), t.end()); };
    TerragenBuilder twoAltw, claimed;
    twoAltw.count("SIZE", 1).scale(1, 1, 1).heights(65, 0, {1, 2, 3, 4});
    twoAltw.heights(1, 7, {40, 30, 20, 10});
    claimed.count("XPTS", 65535).count("YPTS", 65535).heights(1, 0, ramp(30));
    auto later = twoAltw;
    later.count("XPTS", 300).count("YPTS", 200).count("SIZE", 999);
    auto third = later;
    third.count("YPTS", 2).count("XPTS", 3).heights(0, 2, ramp(6));
    const std::string formatError = "Formatfehler in " + tmp.file("t.ter") + "!\n";
    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
        std::string message; // none: the file is read
        std::int32_t xpts;
        std::size_t samples;
    } cases[] = {
        {"empty", text(""), "Keyword TERRAGEN missing!\n", 0, 0},
        {"cut keyword", text("TERRA"), "Keyword TERRAGEN missing!\n", 0, 0},
        {"second keyword wrong", text("TERRAGENTERRAINX"), "Keyword TERRAIN missing!\n", 0, 0},
        {"second keyword cut", text("TERRAGENTERRAIN"), "Keyword TERRAIN missing!\n", 0, 0},
        // An unknown tag keeps what came before: whole samples stay.
        {"unknown tag before the samples",
         TerragenBuilder().count("SIZE", 1).raw("ZZZZ").heights(1, 0, ramp(4)).bytes(), formatError,
         2, 0},
        // After whole samples the terrain is complete: what follows is ignored.
        {"a tag without its data after the samples",
         TerragenBuilder().count("SIZE", 1).heights(1, 0, ramp(4)).raw("XPTs").bytes(), "", 2, 4},
        {"an unknown tag after the samples",
         TerragenBuilder().count("SIZE", 1).heights(1, 0, ramp(4)).raw("ZZZZ").bytes(), "", 2, 4},
        // Samples the file does not hold are neither kept nor allocated.
        {"65535 x 65535 claimed", claimed.bytes(), formatError, 65535, 0},
        {"a short second ALTW",
         TerragenBuilder().count("SIZE", 1).heights(1, 0, ramp(4)).heights(1, 0, ramp(2)).bytes(),
         formatError, 2, 0},
        // A second "ALTW" replaces the first; counts after the samples never
        // make the grid larger than they are, but shape a later "ALTW".
        {"a second ALTW", twoAltw.bytes(), "", 2, 4},
        {"counts after the samples", later.bytes(), "", 2, 4},
        {"a third ALTW", third.bytes(), "", 3, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        capture.reset();
        EXPECT_EQ(load(c.file), c.message.empty() ? 1 : 0);
        EXPECT_EQ(capture.messages, c.message.empty() ? std::vector<std::string>{}
                                                      : std::vector<std::string>{c.message});
        EXPECT_EQ(ter.samples.size(), c.samples);
        if (c.samples != 0) {
            EXPECT_EQ(ter.xpts, c.xpts);
        }
    }
    EXPECT_EQ(ter.heightAt(500, 500), 2 * 100.0); // the third's last sample
    ASSERT_EQ(load(twoAltw), 1);
    EXPECT_EQ(ter.heightAt(0, 0), (40.0 / 65536 + 7) * 100.0);

    capture.reset();
    EXPECT_EQ(ter.read(tmp.file("fehlt.ter")), 0);
    EXPECT_EQ(ter.read(Device), 0);
    EXPECT_EQ(capture.messages,
              (std::vector<std::string>{"Can't open " + tmp.file("fehlt.ter") + "!\n",
                                        std::string(Device) + " ist keine Datei!\n"}));
}
