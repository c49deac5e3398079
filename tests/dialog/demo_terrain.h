// A small terrain for the dialog's tests, the console front end's test and
// the screenshot: a height bitmap of 120 x 80 pixels with two hills, from
// -500 cm in its corners to 1500 cm on the top of the higher hill, a colour
// bitmap of the same size and a ".danl" naming both:
//   [Terrain1]
//   Name=Demo, Hoehe=hoehe.bmp, Farbe=farbe.bmp, Pixelgroesse=10, Faktor=1.0
// With the default tiles (400 m, every 200 m) that is 6 x 4 = 24 tiles.
#pragma once

#include <string>

inline constexpr int DemoWidth = 120;
inline constexpr int DemoHeight = 80;
inline constexpr int DemoTiles = 24;

// Writes "hoehe.bmp", "farbe.bmp" and, unless settingsName is empty, the
// ".danl" of that name into folder (a folder path ending in a separator, or
// empty for the current folder).
void writeDemoTerrain(const std::string& folder, const std::string& settingsName = "Demo.danl");

// The height bitmap alone, with every pixel at heightCm (a flat terrain).
void writeFlatHeightBitmap(const std::string& path, int heightCm);
