#include "raster/height_file.h"

#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"

std::unique_ptr<HeightSource> openHeightSource(const TerrainValues& settings) {
    if (!settings.heightFile) {
        report(MissingHeightMessage);
        return nullptr;
    }
    const std::string& heightFile = *settings.heightFile;
    std::optional<std::string> ext = extensionOf(heightFile);
    if (ext == ".bmp") {
        // The setting is in metres, the source wants whole centimetres.
        std::int32_t pixelSize = truncToInt32(settings.pixelSizeMetres * 100.0);
        if (pixelSize == 0) {
            report("Bitte Pixelgroesse angeben!\n");
            return nullptr;
        }
        return std::make_unique<BitmapHeightSource>(heightFile, pixelSize);
    }
    if (ext == ".ter") return std::make_unique<TerragenHeightSource>(heightFile);
    report("Falscher Dateityp fuer Hoehe: %s!\n", heightFile.c_str());
    return nullptr;
}

std::unique_ptr<ColourBitmap> openColourBitmap(const std::string& path,
                                               const HeightSource& heights) {
    if (extensionOf(path) != ".bmp") {
        report("Falscher Dateityp fuer farbe: %s!\n", path.c_str());
        return nullptr;
    }
    auto colours = std::make_unique<ColourBitmap>(path, heights.pixelSize);
    if (colours->width == 0) return nullptr;
    if (colours->width != heights.gridWidth || colours->height != heights.gridHeight) {
        report("Groessen stimmen nicht überein!\n");
        return nullptr;
    }
    return colours;
}
