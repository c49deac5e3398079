#include "tests/dialog/demo_terrain.h"

#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cmath>

namespace {

// The terrain height in cm at pixel (x, y): the higher hill reaches exactly
// 1500 cm at (40, 35); far from both hills the land lies at -500 cm.
int demoHeight(int x, int y) {
    auto hill = [](int px, int py, double cx, double cy, double spread) {
        const double d2 = (px - cx) * (px - cx) + (py - cy) * (py - cy);
        return std::exp(-d2 / spread);
    };
    const double f = std::max(hill(x, y, 40, 35, 300.0), 0.7 * hill(x, y, 88, 48, 200.0));
    return static_cast<int>(std::lround(-500.0 + 2000.0 * f));
}

} // namespace

void writeDemoTerrain(const std::string& folder, const std::string& settingsName) {
    BitmapPlan heights(DemoWidth, DemoHeight);
    heights.pixel = [](std::int32_t x, std::int32_t y) { return 10000 + demoHeight(x, y); };
    writeBytes(folder + "hoehe.bmp", makeBitmap(heights));

    // Meadow green in the valleys, brown on the slopes, white on the top;
    // the pixel's bytes are blue, green, red in file order.
    BitmapPlan colours(DemoWidth, DemoHeight);
    colours.pixel = [](std::int32_t x, std::int32_t y) {
        const int h = demoHeight(x, y);
        const int red = h > 1200 ? 240 : h > 300 ? 140 : 80;
        const int green = h > 1200 ? 240 : h > 300 ? 110 : 160;
        const int blue = h > 1200 ? 240 : h > 300 ? 70 : 60;
        return (blue << 16) | (green << 8) | red;
    };
    writeBytes(folder + "farbe.bmp", makeBitmap(colours));

    if (!settingsName.empty())
        writeText(folder + settingsName, "[Terrain1]\r\nName=Demo\r\nHoehe=hoehe.bmp\r\n"
                                         "Farbe=farbe.bmp\r\nPixelgroesse=10\r\nFaktor=1.0\r\n");
}

void writeFlatHeightBitmap(const std::string& path, int heightCm) {
    BitmapPlan heights(8, 6);
    heights.pixel = [heightCm](std::int32_t, std::int32_t) { return 10000 + heightCm; };
    writeBytes(path, makeBitmap(heights));
}
