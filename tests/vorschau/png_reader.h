// The preview's PNG files decoded by an independent reader (stb_image), for
// the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedPng {
    std::string error; // empty when the file was read
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb; // rows from the top, red, green, blue
};

DecodedPng decodePng(const std::vector<std::uint8_t>& file);
