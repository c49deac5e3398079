#include "tests/vorschau/png_reader.h"
#include "vorschau/png_file.h"

#include <gtest/gtest.h>
#include <string>

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

std::vector<std::uint8_t> fromHex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t k = 0; k + 1 < hex.size(); k += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(k, 2), nullptr, 16)));
    return out;
}

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

TEST(Checksums, MatchTheKnownValuesAndContinue) {
    const auto digits = bytesOf("123456789");
    EXPECT_EQ(crc32(digits.data(), digits.size()), 0xCBF43926u);
    EXPECT_EQ(crc32(digits.data() + 4, 5, crc32(digits.data(), 4)), 0xCBF43926u);
    EXPECT_EQ(crc32(nullptr, 0), 0u);

    const auto word = bytesOf("Wikipedia");
    EXPECT_EQ(adler32(word.data(), word.size()), 0x11E60398u);
    EXPECT_EQ(adler32(word.data() + 3, 6, adler32(word.data(), 3)), 0x11E60398u);
    EXPECT_EQ(adler32(nullptr, 0), 1u);

    // Long runs of 0xFF: the sums must be reduced before they overflow.
    std::vector<std::uint8_t> ones(100000, 0xFF);
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : ones) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    EXPECT_EQ(adler32(ones.data(), ones.size()), (b << 16) | a);
}

TEST(PngWrite, OnePixelFileIsByteExact) {
    // The whole file of one pixel (255, 128, 1), field by field:
    //   89 50 4E 47 0D 0A 1A 0A                    signature
    //   00 00 00 0D "IHDR" 00 00 00 01 00 00 00 01 length 13, width 1, height 1
    //   08 02 00 00 00 90 77 53 DE                 8 bits, RGB, 0, 0, 0; CRC
    //   00 00 00 0F "IDAT" 78 01                   length 15, zlib header
    //   01 04 00 FB FF                             last stored block, LEN 4, NLEN
    //   00 FF 80 01                                filter 0, the pixel
    //   04 02 01 81 AB E3 ED BC                    Adler-32, CRC
    //   00 00 00 00 "IEND" AE 42 60 82             empty end chunk
    RgbImage image;
    image.width = 1;
    image.height = 1;
    image.rgb = {0xFF, 0x80, 0x01};
    EXPECT_EQ(encodePng(image),
              fromHex("89504e470d0a1a0a0000000d4948445200000001000000010802000000907753de0000"
                      "000f494441547801010400fbff00ff800104020181abe3edbc0000000049454e44ae42"
                      "6082"));
}

TEST(PngWrite, DecodesBackToThePixels) {
    // 120 rows of 601 bytes need two stored blocks; 1 x 1 and a single row
    // are the small ends.
    for (auto [w, h] : {std::pair{3, 2}, std::pair{200, 120}, std::pair{1, 1}, std::pair{500, 1}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const RgbImage image = pattern(w, h);
        const DecodedPng d = decodePng(encodePng(image));
        ASSERT_EQ(d.error, "");
        EXPECT_EQ(d.tags, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
        EXPECT_EQ(d.width, w);
        EXPECT_EQ(d.height, h);
        EXPECT_EQ(d.rgb, image.rgb);
    }
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

TEST(PngRead, NoticesEveryDamagedByte) {
    // The reader is only worth its checks if it really makes them: any byte
    // changed anywhere in a file must be noticed.
    const std::vector<std::uint8_t> good = encodePng(pattern(5, 4));
    for (std::size_t k = 0; k < good.size(); ++k) {
        std::vector<std::uint8_t> bad = good;
        bad[k] ^= 0x10;
        EXPECT_NE(decodePng(bad).error, "") << "byte " << k;
    }
    for (std::size_t n = 0; n < good.size(); ++n) {
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(decodePng(cut).error, "") << "cut at " << n;
    }
}
