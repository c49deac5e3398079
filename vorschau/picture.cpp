#include "vorschau/picture.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

bool finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

// The pixel range [first, last] whose centres lie in [lo, hi], clipped to
// 0 .. size - 1; empty when first > last.
struct PixelSpan {
    std::int32_t first = 0;
    std::int32_t last = -1;
};
PixelSpan centresWithin(double lo, double hi, std::int32_t size) {
    PixelSpan s;
    if (!(lo <= hi) || size <= 0) return s;
    const double first = std::ceil(lo - 0.5);
    const double last = std::floor(hi - 0.5);
    if (last < 0.0 || first > size - 1.0) return s;
    s.first = static_cast<std::int32_t>(std::max(first, 0.0));
    s.last = static_cast<std::int32_t>(std::min(last, size - 1.0));
    return s;
}

// Cuts the segment to the box [lo, hiX] × [lo, hiY] (Liang and Barsky).
// False when nothing of it lies inside.
bool clipSegment(double& x0, double& y0, double& x1, double& y1, double lo, double hiX,
                 double hiY) {
    const double dx = x1 - x0, dy = y1 - y0;
    double t0 = 0.0, t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - lo, hiX - x0, y0 - lo, hiY - y0};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}

// Squared distance of (px, py) from the segment.
double segmentDistance2(double px, double py, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = x0 + t * dx - px, ey = y0 + t * dy - py;
    return ex * ex + ey * ey;
}

// The 5 × 7 font: seven rows per glyph, the top row first, bit 4 the left
// column.
struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows;
};
constexpr Glyph Font[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'c', {0x00, 0x00, 0x0E, 0x10, 0x10, 0x11, 0x0E}},
    {'k', {0x10, 0x10, 0x12, 0x14, 0x18, 0x14, 0x12}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x15, 0x15}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    // The tile count's note: "Kacheln".
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'a', {0x00, 0x00, 0x0E, 0x01, 0x0F, 0x11, 0x0F}},
    {'h', {0x10, 0x10, 0x16, 0x19, 0x11, 0x11, 0x11}},
    {'e', {0x00, 0x00, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'l', {0x0C, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'n', {0x00, 0x00, 0x16, 0x19, 0x11, 0x11, 0x11}},
};
constexpr std::int32_t GlyphWidth = 5;
constexpr std::int32_t GlyphAdvance = 6;

const Glyph* glyphOf(char c) {
    for (const Glyph& g : Font)
        if (g.c == c) return &g;
    return nullptr;
}

} // namespace

PreviewPicture makeImage(std::int32_t width, std::int32_t height, Rgb fill) {
    PreviewPicture image;
    if (width < 1 || height < 1) return image;
    image.width = width;
    image.height = height;
    image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0; i < image.rgb.size(); i += 3) {
        image.rgb[i] = fill.red;
        image.rgb[i + 1] = fill.green;
        image.rgb[i + 2] = fill.blue;
    }
    return image;
}

Rgb pixelAt(const PreviewPicture& image, std::int32_t x, std::int32_t y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return {};
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3;
    return {image.rgb[at], image.rgb[at + 1], image.rgb[at + 2]};
}

void setPixel(PreviewPicture& image, std::int32_t x, std::int32_t y, Rgb colour) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3;
    image.rgb[at] = colour.red;
    image.rgb[at + 1] = colour.green;
    image.rgb[at + 2] = colour.blue;
}

void blendPixel(PreviewPicture& image, std::int32_t x, std::int32_t y, Rgb colour, double alpha) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return;
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + x) * 3;
    const double a = std::clamp(alpha, 0.0, 1.0);
    auto mix = [a](std::uint8_t old, std::uint8_t add) {
        return static_cast<std::uint8_t>(std::lround(old + (add - old) * a));
    };
    image.rgb[at] = mix(image.rgb[at], colour.red);
    image.rgb[at + 1] = mix(image.rgb[at + 1], colour.green);
    image.rgb[at + 2] = mix(image.rgb[at + 2], colour.blue);
}

void fillRect(PreviewPicture& image, double x0, double y0, double x1, double y1, Rgb colour,
              double alpha) {
    if (!finite(x0, y0, x1, y1)) return;
    // Centres in [x0, x1): the last centre below x1.
    const PixelSpan xs = centresWithin(x0, x1 - 1e-9, image.width);
    const PixelSpan ys = centresWithin(y0, y1 - 1e-9, image.height);
    for (std::int32_t y = ys.first; y <= ys.last; ++y)
        for (std::int32_t x = xs.first; x <= xs.last; ++x)
            blendPixel(image, x, y, colour, alpha);
}

void outlineRect(PreviewPicture& image, std::int32_t x0, std::int32_t y0, std::int32_t x1,
                 std::int32_t y1, Rgb colour, double alpha) {
    if (x1 < x0) std::swap(x0, x1);
    if (y1 < y0) std::swap(y0, y1);
    if (x1 < 0 || y1 < 0 || x0 >= image.width || y0 >= image.height) return;
    const std::int32_t cx0 = std::max(x0, 0), cx1 = std::min(x1, image.width - 1);
    const std::int32_t cy0 = std::max(y0, 0), cy1 = std::min(y1, image.height - 1);
    for (std::int32_t x = cx0; x <= cx1; ++x) {
        if (y0 >= 0) blendPixel(image, x, y0, colour, alpha);
        if (y1 != y0 && y1 < image.height) blendPixel(image, x, y1, colour, alpha);
    }
    for (std::int32_t y = std::max(y0 + 1, cy0); y <= std::min(y1 - 1, cy1); ++y) {
        if (x0 >= 0) blendPixel(image, x0, y, colour, alpha);
        if (x1 != x0 && x1 < image.width) blendPixel(image, x1, y, colour, alpha);
    }
}

void fillDisc(PreviewPicture& image, double cx, double cy, double radius, Rgb colour) {
    if (!finite(cx, cy, radius, 0.0) || radius <= 0.0) return;
    const PixelSpan ys = centresWithin(cy - radius, cy + radius, image.height);
    const PixelSpan xs = centresWithin(cx - radius, cx + radius, image.width);
    const double r2 = radius * radius;
    for (std::int32_t y = ys.first; y <= ys.last; ++y) {
        for (std::int32_t x = xs.first; x <= xs.last; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            if (dx * dx + dy * dy <= r2) setPixel(image, x, y, colour);
        }
    }
}

void drawLine(PreviewPicture& image, double x0, double y0, double x1, double y1, double width,
              Rgb colour) {
    if (!finite(x0, y0, x1, y1) || !(width > 0.0)) return;
    const double r = width / 2.0;
    // Only the part near the picture can colour a pixel; cutting the rest
    // off keeps the walk below short whatever the coordinates.
    if (!clipSegment(x0, y0, x1, y1, -r - 1.0, image.width + r + 1.0, image.height + r + 1.0))
        return;
    const double r2 = r * r;
    const double length = std::hypot(x1 - x0, y1 - y0);
    const auto steps = static_cast<std::int32_t>(std::ceil(length));
    // Pixels near each point one pixel apart along the line, tested against
    // the whole segment: a solid line with round ends.
    for (std::int32_t s = 0; s <= steps; ++s) {
        const double t = steps > 0 ? static_cast<double>(s) / steps : 0.0;
        const double px = x0 + t * (x1 - x0), py = y0 + t * (y1 - y0);
        const PixelSpan ys = centresWithin(py - r - 0.5, py + r + 0.5, image.height);
        const PixelSpan xs = centresWithin(px - r - 0.5, px + r + 0.5, image.width);
        for (std::int32_t y = ys.first; y <= ys.last; ++y)
            for (std::int32_t x = xs.first; x <= xs.last; ++x)
                if (segmentDistance2(x + 0.5, y + 0.5, x0, y0, x1, y1) <= r2)
                    setPixel(image, x, y, colour);
    }
}

void fillTriangle(PreviewPicture& image, double ax, double ay, double bx, double by, double cx,
                  double cy, Rgb colour) {
    if (!finite(ax, ay, bx, by) || !finite(cx, cy, 0.0, 0.0)) return;
    const PixelSpan xs = centresWithin(std::min({ax, bx, cx}), std::max({ax, bx, cx}), image.width);
    const PixelSpan ys =
        centresWithin(std::min({ay, by, cy}), std::max({ay, by, cy}), image.height);
    auto edge = [](double x0, double y0, double x1, double y1, double px, double py) {
        return (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
    };
    for (std::int32_t y = ys.first; y <= ys.last; ++y) {
        for (std::int32_t x = xs.first; x <= xs.last; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            const double e0 = edge(ax, ay, bx, by, px, py);
            const double e1 = edge(bx, by, cx, cy, px, py);
            const double e2 = edge(cx, cy, ax, ay, px, py);
            // Inside when all three agree in sign, whichever way round.
            if ((e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0))
                setPixel(image, x, y, colour);
        }
    }
}

void drawText(PreviewPicture& image, std::int32_t x, std::int32_t y, std::string_view text,
              std::int32_t scale, Rgb colour) {
    for (char c : text) {
        if (const Glyph* g = glyphOf(c)) {
            for (std::int32_t row = 0; row < GlyphHeight; ++row)
                for (std::int32_t col = 0; col < GlyphWidth; ++col)
                    if (g->rows[static_cast<std::size_t>(row)] & (0x10 >> col))
                        fillRect(image, x + col * scale, y + row * scale, x + (col + 1) * scale,
                                 y + (row + 1) * scale, colour);
        }
        x += GlyphAdvance * scale;
    }
}

std::int32_t textWidth(std::string_view text, std::int32_t scale) {
    if (text.empty()) return 0;
    return (static_cast<std::int32_t>(text.size()) * GlyphAdvance - 1) * scale;
}
