#include "tests/vorschau/png_reader.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

DecodedPng decodePng(const std::vector<std::uint8_t>& file) {
    DecodedPng png;
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &channels, 3);
    if (!pixels || channels != 3) {
        png.error = pixels ? "not RGB" : stbi_failure_reason();
        stbi_image_free(pixels);
        return png;
    }
    png.width = w;
    png.height = h;
    png.rgb.assign(pixels, pixels + static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    stbi_image_free(pixels);
    return png;
}
