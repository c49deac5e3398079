// The demo terrain of the dialog's tests, the console front end's test and
// the screenshot, committed in tests/data/dialog (made by the bitmap writer
// of tests/raster): a height bitmap "hoehe.bmp" of 120 x 80 pixels with two
// hills, from -500 cm in its corners to 1500 cm on the top of the higher
// hill, a colour bitmap "farbe.bmp" of the same size and "Demo.danl":
//   [Terrain1]
//   Name=Demo, Hoehe=hoehe.bmp, Farbe=farbe.bmp, Pixelgroesse=10, Faktor=1.0
// With the default tiles (400 m, every 200 m) that is 6 x 4 = 24 tiles.
#pragma once

#include "tests/support/test_support.h"

#include <string>

// Copies the two bitmaps and, unless settingsName is empty, "Demo.danl" by
// that name into folder (a folder path ending in a separator).
inline void writeDemoTerrain(const std::string& folder,
                             const std::string& settingsName = "Demo.danl") {
    for (const char* name : {"hoehe.bmp", "farbe.bmp"})
        writeBytes(folder + name, readBytes(testDataFile(std::string("dialog/") + name)));
    if (!settingsName.empty())
        writeBytes(folder + settingsName, readBytes(testDataFile("dialog/Demo.danl")));
}
