// A preview picture that cannot be written whole is not written at all.
#include "tests/support/no_file_lost.h"
#include "vorschau/png_file.h"

#include <gtest/gtest.h>

TEST(PngWrite, NeverLosesTheOldFile) {
    PreviewPicture image;
    image.width = 3;
    image.height = 2;
    for (std::uint8_t i = 0; i < 18; ++i)
        image.rgb.push_back(static_cast<std::uint8_t>(i * 14));
    expectNoFileLost("Test.png", [&](const std::string& path) { return writePng(path, image); });
}
