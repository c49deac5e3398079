#include "raster/height_file.h"

#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"

#include <cmath>

std::unique_ptr<HeightSource> openHeightSource(const SettingsFile& settings,
                                               const std::string& heightFile) {
    std::optional<std::string> ext = extensionOf(heightFile);
    if (ext == ".bmp") {
        // The setting is in metres, the source wants whole centimetres.
        std::int32_t pixelSize =
            truncToInt32(settings.getReal("Terrain1", "Pixelgroesse", 0.0f) * 100.0);
        if (pixelSize == 0) return report("Bitte Pixelgroesse angeben!\n"), nullptr;
        return std::make_unique<BitmapHeightSource>(heightFile, pixelSize);
    }
    if (ext == ".ter") return std::make_unique<TerragenHeightSource>(heightFile);
    return report("Falscher Dateityp fuer Hoehe: %s!\n", heightFile.c_str()), nullptr;
}

bool mappedHeightsFit(double faktor, double offsetCm, const HeightSource& source) {
    const char* const beyond = "Hoehen ausserhalb des Bereichs der Anlage!\n";
    // A terrain file whose vertical scale is no number: the default shift,
    // worked out from its lowest point, is none either; that is not the
    // user's Faktor.
    if (!std::isfinite(source.minHeight) || !std::isfinite(source.maxHeight))
        return report("%s", beyond) != 0;
    if (!std::isfinite(faktor) || !std::isfinite(offsetCm))
        return report("Faktor und Verschiebung muessen Zahlen sein!\n") != 0;
    // Truncation toward zero keeps a value within the 32-bit range when it
    // lies within (INT32_MIN - 1, INT32_MAX + 1).
    auto fits = [](double v) { return v > -2147483649.0 && v < 2147483648.0; };
    if (!fits(faktor * source.minHeight + offsetCm) || !fits(faktor * source.maxHeight + offsetCm))
        return report("%s", beyond) != 0;
    return true;
}
