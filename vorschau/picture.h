// Drawing on an PreviewPicture: the few shapes the preview needs. Coordinates are
// picture pixels as doubles, x to the right, y downward, (0, 0) the top left
// corner of the top left pixel; a pixel's centre is (x + 0.5, y + 0.5).
// Everything is clipped to the picture, so shapes may lie partly or wholly
// outside it and coordinates may be huge.
#pragma once

#include "vorschau/png_file.h"

#include <cstdint>
#include <string_view>

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// A picture of the size, filled with the colour. Sides below 1 give an empty
// picture (width and height 0).
PreviewPicture makeImage(std::int32_t width, std::int32_t height, Rgb fill);

Rgb pixelAt(const PreviewPicture& image, std::int32_t x, std::int32_t y);
void setPixel(PreviewPicture& image, std::int32_t x, std::int32_t y, Rgb colour);
// alpha 0 keeps the pixel, 1 replaces it.
void blendPixel(PreviewPicture& image, std::int32_t x, std::int32_t y, Rgb colour, double alpha);

// The pixels whose centres lie inside the rectangle [x0, x1) × [y0, y1).
void fillRect(PreviewPicture& image, double x0, double y0, double x1, double y1, Rgb colour,
              double alpha = 1.0);
// A frame one pixel wide along the inside of the pixels from (x0, y0) to
// (x1, y1), both corners included, drawn once per pixel.
void outlineRect(PreviewPicture& image, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                 std::int32_t y1, Rgb colour, double alpha = 1.0);
// The pixels whose centres lie within radius of (cx, cy).
void fillDisc(PreviewPicture& image, double cx, double cy, double radius, Rgb colour);
// A line of the width with round ends.
void drawLine(PreviewPicture& image, double x0, double y0, double x1, double y1, double width,
              Rgb colour);
// The pixels whose centres lie inside the triangle.
void fillTriangle(PreviewPicture& image, double ax, double ay, double bx, double by, double cx,
                  double cy, Rgb colour);

// Text in a 5 × 7 pixel font, each font pixel scale × scale picture pixels,
// the top left corner at (x, y). Knows the digits, ' ', 'c', 'k', 'm', 'N'
// and the letters of "Kacheln"; other characters leave a gap. textWidth is the width the text
// takes.
void drawText(PreviewPicture& image, std::int32_t x, std::int32_t y, std::string_view text,
              std::int32_t scale, Rgb colour);
std::int32_t textWidth(std::string_view text, std::int32_t scale);
inline constexpr std::int32_t GlyphHeight = 7;
