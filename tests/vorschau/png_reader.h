// A strict reader of the PNG files the preview writes, for the tests: it
// checks the signature, the order of the chunks and every CRC, decodes the
// zlib stream (stored blocks only, the only kind our writer makes) with its
// header and Adler-32, and gives back the pixels. Anything else is an error
// with a short reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedPng {
    std::string error;             // empty when the file was read
    std::vector<std::string> tags; // the chunk tags in file order
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgb; // rows from the top, red, green, blue
};

DecodedPng decodePng(const std::vector<std::uint8_t>& file);
