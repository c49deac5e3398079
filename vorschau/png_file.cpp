#include "vorschau/png_file.h"

#include "common/file_messages.h"
#include "common/numeric.h"
#include "platform/platform.h"

#include <stb/stb_image_write.h>

std::vector<std::uint8_t> encodePng(const PreviewPicture& image) {
    if (image.width < 1 || image.width > MaxPngSide || image.height < 1 ||
        image.height > MaxPngSide)
        return {};
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    std::size_t pixelBytes = 0;
    if (!checkedMul(width * 3, height, pixelBytes) || image.rgb.size() != pixelBytes) return {};

    std::vector<std::uint8_t> png;
    const int written = stbi_write_png_to_func(
        [](void* context, void* data, int size) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            out->insert(out->end(), bytes, bytes + size);
        },
        &png, image.width, image.height, 3, image.rgb.data(), image.width * 3);
    if (!written) png.clear();
    return png;
}

bool writePng(std::string_view path, const PreviewPicture& image) {
    std::vector<std::uint8_t> bytes = encodePng(image);
    if (bytes.empty()) return false;
    return writeFileSafely(path, bytes);
}
