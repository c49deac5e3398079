#include "vorschau/preview.h"

#include "common/message.h"
#include "common/numeric.h"
#include "raster/grid_placement.h"
#include "raster/hillshade.h"
#include "raster/terrain_settings.h"
#include "vorschau/picture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Share of the longer side left free around the content.
constexpr double MarginShare = 0.03;

constexpr Rgb Background{228, 228, 224};
constexpr Rgb Black{0, 0, 0};
constexpr Rgb White{255, 255, 255};
constexpr Rgb TrackColour{25, 25, 25};
constexpr Rgb BridgeColour{150, 0, 170};
constexpr Rgb BufferStop{255, 120, 0};
constexpr Rgb ObjectColour{60, 60, 60};
constexpr Rgb CameraColour{255, 230, 0};
constexpr Rgb OnGroundColour{0, 200, 40};
constexpr Rgb FloatingColour{30, 100, 255};
constexpr Rgb BuriedColour{235, 20, 20};
// Tile outline colours by the parity of the tile's indices (i, j): tiles of
// one colour do not overlap each other with the usual settings.
constexpr Rgb TileColours[4] = {{255, 255, 255}, {255, 225, 0}, {0, 225, 255}, {255, 130, 0}};

// The shaded relief's colours as picture colours.
Rgb rgbOf(ReliefColour c) {
    return {c.red, c.green, c.blue};
}
Rgb scaled(Rgb c, double k) {
    return rgbOf(shadedColour({c.red, c.green, c.blue}, k));
}

// A grid coordinate split for bilinear sampling between points i0 and i0 + 1.
struct GridStep {
    std::int32_t i0 = 0;
    double f = 0.0; // weight of i0 + 1
};
GridStep gridStep(double u, std::int32_t last) {
    GridStep s;
    if (last <= 0) return s; // never: a source that is not empty has last >= 1
    double base = std::floor(u);
    if (base > last - 1) base = last - 1;
    if (base < 0) base = 0;
    s.i0 = static_cast<std::int32_t>(base);
    s.f = std::clamp(u - base, 0.0, 1.0);
    return s;
}

// Layout cm of grid column c and row r, where the generated layout puts them.
std::int64_t gridPointX(const HeightSource& heights, std::int64_t c) {
    return gridLineCm(c, heights.gridWidth, heights.pixelSize);
}
std::int64_t gridPointY(const HeightSource& heights, std::int64_t r) {
    return gridLineCm(r, heights.gridHeight, heights.pixelSize);
}

struct Bounds {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
    void add(double x, double y) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
};

// Terrain: the base colour of every picture pixel over the terrain, its
// height (layout scale) for the shading; NaN marks pixels beside the terrain.
void drawTerrain(PreviewPicture& image, const PreviewScene& scene, const PictureFrame& frame) {
    const HeightSource& hs = *scene.heights;
    const std::int32_t w = frame.width, h = frame.height;

    // Grid column of each picture column, grid row of each picture row.
    std::vector<double> us(static_cast<std::size_t>(w)), vs(static_cast<std::size_t>(h));
    for (std::int32_t px = 0; px < w; ++px)
        us[static_cast<std::size_t>(px)] =
            gridStepsAt(frame.layoutX(px + 0.5), hs.gridWidth, hs.pixelSize);
    for (std::int32_t py = 0; py < h; ++py)
        vs[static_cast<std::size_t>(py)] =
            gridStepsAt(frame.layoutY(py + 0.5), hs.gridHeight, hs.pixelSize);
    std::vector<GridStep> cols(static_cast<std::size_t>(w));
    for (std::size_t k = 0; k < cols.size(); ++k)
        cols[k] = gridStep(us[k], hs.gridWidth);

    const ColourSource* cs = scene.colours;
    auto colourOf = [cs](std::int32_t c, std::int32_t r) {
        // One colour pixel per grid step: the last grid column and row take
        // the colour of the pixel before them.
        PixelColour p =
            cs->colourAt(std::clamp(c, 0, cs->width - 1), std::clamp(r, 0, cs->height - 1));
        return p;
    };

    const double range = hs.maxHeight - hs.minHeight;
    const double faktor = scene.mapping.faktor;
    std::vector<float> heights(static_cast<std::size_t>(w) * static_cast<std::size_t>(h),
                               std::numeric_limits<float>::quiet_NaN());

    // The two grid rows around a picture row, sampled at the columns the
    // picture needs; refetched only when the picture moves to another grid
    // row, so an enlarged terrain costs little.
    std::vector<double> low0(cols.size()), low1(cols.size()), high0(cols.size()),
        high1(cols.size());
    std::vector<PixelColour> clow0, clow1, chigh0, chigh1;
    if (cs) {
        clow0.resize(cols.size());
        clow1.resize(cols.size());
        chigh0.resize(cols.size());
        chigh1.resize(cols.size());
    }
    std::int32_t cachedRow = -1;

    for (std::int32_t py = 0; py < h; ++py) {
        const double v = vs[static_cast<std::size_t>(py)];
        if (!(v >= 0.0 && v <= hs.gridHeight)) continue;
        const GridStep row = gridStep(v, hs.gridHeight);
        if (row.i0 != cachedRow) {
            cachedRow = row.i0;
            for (std::size_t k = 0; k < cols.size(); ++k) {
                const std::int32_t c = cols[k].i0;
                low0[k] = hs.heightAt(c, row.i0);
                low1[k] = hs.heightAt(c + 1, row.i0);
                high0[k] = hs.heightAt(c, row.i0 + 1);
                high1[k] = hs.heightAt(c + 1, row.i0 + 1);
                if (cs) {
                    clow0[k] = colourOf(c, row.i0);
                    clow1[k] = colourOf(c + 1, row.i0);
                    chigh0[k] = colourOf(c, row.i0 + 1);
                    chigh1[k] = colourOf(c + 1, row.i0 + 1);
                }
            }
        }
        for (std::int32_t px = 0; px < w; ++px) {
            const auto k = static_cast<std::size_t>(px);
            const double u = us[k];
            if (!(u >= 0.0 && u <= hs.gridWidth)) continue;
            const double fu = cols[k].f, fv = row.f;
            const double w00 = (1 - fu) * (1 - fv), w10 = fu * (1 - fv), w01 = (1 - fu) * fv,
                         w11 = fu * fv;
            const double height = low0[k] * w00 + low1[k] * w10 + high0[k] * w01 + high1[k] * w11;
            heights[static_cast<std::size_t>(py) * static_cast<std::size_t>(w) + k] =
                static_cast<float>(height * faktor);
            Rgb base;
            if (cs) {
                auto mix = [&](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
                    return static_cast<std::uint8_t>(
                        std::lround(a * w00 + b * w10 + c * w01 + d * w11));
                };
                base = {mix(clow0[k].red, clow1[k].red, chigh0[k].red, chigh1[k].red),
                        mix(clow0[k].green, clow1[k].green, chigh0[k].green, chigh1[k].green),
                        mix(clow0[k].blue, clow1[k].blue, chigh0[k].blue, chigh1[k].blue)};
            } else {
                base = rgbOf(rampColour(range > 0.0 ? (height - hs.minHeight) / range : 0.0));
            }
            setPixel(image, px, py, base);
        }
    }

    // Hillshade from the picture's own heights (raster/hillshade.h), one
    // picture pixel being the step. Flat ground keeps its colour.
    std::vector<double> factors(static_cast<std::size_t>(w));
    auto row = [&](std::int32_t y) -> const float* {
        if (y < 0 || y >= h) return nullptr;
        return heights.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    };
    for (std::int32_t py = 0; py < h; ++py) {
        // Picture rows run southward: the row above is north.
        shadeRow(row(py - 1), row(py), row(py + 1), factors.size(), frame.cmPerPixel,
                 factors.data());
        for (std::int32_t px = 0; px < w; ++px) {
            const double k = factors[static_cast<std::size_t>(px)];
            if (std::isnan(k)) continue;
            setPixel(image, px, py, scaled(pixelAt(image, px, py), k));
        }
    }
}

// Where outlines would cover the land: the terrain's edge, and the count of
// tiles in a box at the top left.
void drawTileCount(PreviewPicture& image, const PreviewScene& scene, const PictureFrame& frame) {
    const HeightSource& heights = *scene.heights;
    auto pixel = [](double v) { return static_cast<std::int32_t>(std::clamp(v, -1e6, 1e6)); };
    const double x0 = frame.pixelX(static_cast<double>(gridPointX(heights, 0)));
    const double x1 = frame.pixelX(static_cast<double>(gridPointX(heights, heights.gridWidth)));
    const double y0 = frame.pixelY(static_cast<double>(gridPointY(heights, heights.gridHeight)));
    const double y1 = frame.pixelY(static_cast<double>(gridPointY(heights, 0)));
    outlineRect(image, pixel(std::ceil(x0 - 0.5)), pixel(std::ceil(y0 - 0.5)),
                pixel(std::floor(x1 - 0.5)), pixel(std::floor(y1 - 0.5)), White, 0.75);

    const std::int32_t scale = frame.width >= 600 || frame.height >= 600 ? 2 : 1;
    const std::string note =
        formatText("%lld Kacheln", static_cast<long long>(scene.tiling->tileCount()));
    const double pad = 6.0 * scale, left = 10.0 * scale, top = 10.0 * scale;
    fillRect(image, left, top, left + textWidth(note, scale) + 2 * pad,
             top + GlyphHeight * scale + 2 * pad, White, 0.85);
    drawText(image, static_cast<std::int32_t>(left + pad), static_cast<std::int32_t>(top + pad),
             note, scale, Black);
}

void drawTiles(PreviewPicture& image, const PreviewScene& scene, const PictureFrame& frame) {
    if (!scene.tiling) return;
    if (scene.tileDrawing == TileDrawing::CountOnly ||
        (scene.tileDrawing == TileDrawing::Automatic &&
         !tileOutlinesReadable(*scene.tiling, scene.heights->pixelSize, frame))) {
        drawTileCount(image, scene, frame);
        return;
    }
    const std::vector<TileOutline> outlines = tileOutlines(*scene.tiling, *scene.heights);
    // Where the tiles are wide enough, each colour is drawn a little further
    // inside its tiles, so that edges which fall on one line stay apart and
    // every tile shows as its own frame.
    const double stepPixels =
        scene.tiling->tileStep * static_cast<double>(scene.heights->pixelSize) / frame.cmPerPixel;
    const bool separate = stepPixels >= MinTileStepPixels;
    for (const TileOutline& t : outlines) {
        const int kind = (t.i & 1) + 2 * (t.j & 1);
        const std::int32_t inset = separate ? 2 + 3 * kind : 0;
        // The pixels whose centres lie over the tile's area.
        const double x0 = std::ceil(frame.pixelX(static_cast<double>(t.minX)) - 0.5);
        const double x1 = std::floor(frame.pixelX(static_cast<double>(t.maxX)) - 0.5);
        const double y0 = std::ceil(frame.pixelY(static_cast<double>(t.maxY)) - 0.5);
        const double y1 = std::floor(frame.pixelY(static_cast<double>(t.minY)) - 0.5);
        auto clampPixel = [](double v) {
            return static_cast<std::int32_t>(std::clamp(v, -1e6, 1e6));
        };
        std::int32_t ax = clampPixel(x0) + inset, bx = clampPixel(x1) - inset;
        std::int32_t ay = clampPixel(y0) + inset, by = clampPixel(y1) - inset;
        if (ax > bx) ax = bx = (ax + bx) / 2;
        if (ay > by) ay = by = (ay + by) / 2;
        outlineRect(image, ax, ay, bx, by, separate ? TileColours[kind] : White,
                    separate ? 0.75 : 0.5);
    }
}

Rgb fitColour(EndFit fit) {
    switch (fit) {
    case EndFit::OnGround:
        return OnGroundColour;
    case EndFit::Floating:
        return FloatingColour;
    case EndFit::Buried:
        return BuriedColour;
    }
    return OnGroundColour;
}

// A short bar across the direction (a buffer stop) or along it.
void drawBar(PreviewPicture& image, double x, double y, double dx, double dy, double half,
             double width, Rgb colour) {
    const double len = std::hypot(dx, dy);
    if (!(len > 0.0)) {
        dx = 1.0;
        dy = 0.0;
    } else {
        dx /= len;
        dy /= len;
    }
    drawLine(image, x - dx * half, y - dy * half, x + dx * half, y + dy * half, width, colour);
}

void drawLayout(PreviewPicture& image, const PreviewScene& scene, const PictureFrame& frame) {
    if (!scene.layout) return;
    const Layout& layout = *scene.layout;
    auto px = [&](std::int32_t x) { return frame.pixelX(x); };
    auto py = [&](std::int32_t y) { return frame.pixelY(y); };

    // Tracks: a light halo under a dark line keeps them readable on any
    // ground; a track that carries a bridge is drawn in the bridge colour.
    for (const TrackRecord& t : layout.tracks)
        if (t.id != 0)
            drawLine(image, px(t.start.x), py(t.start.y), px(t.end.x), py(t.end.y), 6.0, White);
    for (const TrackRecord& t : layout.tracks) {
        if (t.id == 0) continue;
        bool bridge = t.link && *t.link < layout.objects.size() &&
                      layout.objects[*t.link].id != 0 && isBridgePath(layout.objects[*t.link].path);
        drawLine(image, px(t.start.x), py(t.start.y), px(t.end.x), py(t.end.y), bridge ? 5.0 : 3.0,
                 bridge ? BridgeColour : TrackColour);
    }

    // Objects.
    for (const ObjectRecord& o : layout.objects) {
        if (o.id == 0) continue;
        const double x = px(o.position.x), y = py(o.position.y);
        if (isBufferStopPath(o.path)) {
            // Across the track's end direction: in the picture, whose y runs
            // opposite to the layout's, the direction (x, y) becomes (x, -y),
            // and (y, x) lies square to that. Longer than the end's dot that
            // is drawn over it.
            drawBar(image, x, y, o.direction.y, o.direction.x, 11.0, 6.0, Black);
            drawBar(image, x, y, o.direction.y, o.direction.x, 10.0, 3.5, BufferStop);
        } else if (isBridgePath(o.path)) {
            fillRect(image, x - 6, y - 6, x + 6, y + 6, White);
            fillRect(image, x - 5, y - 5, x + 5, y + 5, BridgeColour);
            fillRect(image, x - 2, y - 2, x + 2, y + 2, White);
        } else {
            fillDisc(image, x, y, 3.5, White);
            fillDisc(image, x, y, 2.3, ObjectColour);
        }
    }

    // Track ends, coloured by how they sit on the terrain. Connected tracks
    // share their end points, so the ends that are off are drawn last: one
    // wrong end among fitted ones must not hide under them.
    struct End {
        Point3 p;
        EndFit fit;
    };
    std::vector<End> ends;
    for (const TrackRecord& t : layout.tracks) {
        if (t.id == 0) continue;
        for (const Point3& p : {t.start, t.end})
            ends.push_back(
                {p, endFit(p.z, trackHeightUnder(*scene.heights, scene.mapping, p.x, p.y))});
    }
    std::stable_partition(ends.begin(), ends.end(),
                          [](const End& e) { return e.fit == EndFit::OnGround; });
    for (const End& e : ends) {
        fillDisc(image, px(e.p.x), py(e.p.y), 5.5, Black);
        fillDisc(image, px(e.p.x), py(e.p.y), 4.2, fitColour(e.fit));
    }

    // Cameras: a ring with a line in the viewing direction.
    for (const CameraRecord& c : layout.cameras) {
        const double x = px(c.position.x), y = py(c.position.y);
        const double dx = c.direction.x, dy = -static_cast<double>(c.direction.y);
        const double len = std::hypot(dx, dy);
        if (len > 0.0) {
            drawLine(image, x, y, x + dx / len * 18, y + dy / len * 18, 5.0, Black);
            drawLine(image, x, y, x + dx / len * 17, y + dy / len * 17, 2.5, CameraColour);
        }
        fillDisc(image, x, y, 7.0, Black);
        fillDisc(image, x, y, 5.5, CameraColour);
        fillDisc(image, x, y, 2.0, Black);
    }
}

// The longest round length (1, 2 or 5 times a power of ten, in metres) that
// fits in the given number of metres.
double roundLength(double metres) {
    double power = std::pow(10.0, std::floor(std::log10(metres)));
    for (double m : {5.0, 2.0, 1.0})
        if (m * power <= metres) return m * power;
    return power;
}

std::string lengthLabel(double metres) {
    if (metres >= 1000.0) return formatText("%.0f km", metres / 1000.0);
    if (metres >= 1.0) return formatText("%.0f m", metres);
    return formatText("%.0f cm", metres * 100.0);
}

void drawScaleBar(PreviewPicture& image, const PictureFrame& frame) {
    const std::int32_t scale = frame.width >= 600 || frame.height >= 600 ? 2 : 1;
    const double metresPerPixel = frame.cmPerPixel / 100.0;
    const double wanted = std::min(frame.width * 0.25, 400.0 * scale) * metresPerPixel;
    if (!(wanted > 0.0)) return;
    const double metres = roundLength(wanted);
    const double barPixels = metres / metresPerPixel;
    const std::string label = lengthLabel(metres);
    const std::int32_t pad = 6 * scale, barHeight = 5 * scale;
    const std::int32_t textHeight = GlyphHeight * scale;
    const double boxW = std::max(barPixels, static_cast<double>(textWidth(label, scale))) + 2 * pad;
    const double boxH = pad + textHeight + pad + barHeight + pad;
    const double x0 = 10.0 * scale, y1 = frame.height - 10.0 * scale;
    const double y0 = y1 - boxH;
    fillRect(image, x0, y0, x0 + boxW, y1, White, 0.85);
    drawText(image, static_cast<std::int32_t>(x0 + pad), static_cast<std::int32_t>(y0 + pad), label,
             scale, Black);
    const double by = y0 + pad + textHeight + pad;
    fillRect(image, x0 + pad - 1, by - 1, x0 + pad + barPixels + 1, by + barHeight + 1, Black);
    for (int k = 0; k < 4; ++k) {
        const double a = x0 + pad + barPixels * k / 4, b = x0 + pad + barPixels * (k + 1) / 4;
        if (k % 2 == 1) fillRect(image, a, by, b, by + barHeight, White);
    }
}

void drawNorthArrow(PreviewPicture& image, const PictureFrame& frame) {
    const std::int32_t scale = frame.width >= 600 || frame.height >= 600 ? 2 : 1;
    const double size = 14.0 * scale;
    const double cx = frame.width - 10.0 * scale - size, top = 10.0 * scale;
    fillRect(image, cx - size, top, cx + size, top + 3.4 * size, White, 0.85);
    const std::int32_t letterW = textWidth("N", scale);
    drawText(image, static_cast<std::int32_t>(cx) - letterW / 2,
             static_cast<std::int32_t>(top + 0.3 * size), "N", scale, Black);
    const double tip = top + 0.6 * size + GlyphHeight * scale, base = top + 3.1 * size;
    fillTriangle(image, cx, tip, cx - 0.6 * size, base, cx, base - 0.5 * size, Black);
    fillTriangle(image, cx, tip, cx + 0.6 * size, base, cx, base - 0.5 * size, Black);
    fillTriangle(image, cx, tip + 2.5, cx + 0.6 * size - 2.2, base - 1.8, cx,
                 base - 0.5 * size - 1.0, White);
}

} // namespace

std::int32_t trackHeightUnder(const HeightSource& heights, const TerrainMapping& mapping,
                              std::int32_t x, std::int32_t y) {
    return wrapAdd(
        pointHeight(mapping.faktor, interpolatedHeight(heights, x, y), mapping.offset, 0.0),
        mapping.trackExtraCm);
}

EndFit endFit(std::int32_t z, std::int32_t expected) {
    const std::int64_t d = std::int64_t{z} - expected;
    if (d > GroundToleranceCm) return EndFit::Floating;
    if (d < -GroundToleranceCm) return EndFit::Buried;
    return EndFit::OnGround;
}

bool tileOutlinesReadable(const Tiling& tiling, std::int32_t pixelSize, const PictureFrame& frame) {
    return tiling.tileStep * static_cast<double>(pixelSize) / frame.cmPerPixel >= MinTileStepPixels;
}

std::vector<TileOutline> tileOutlines(const Tiling& tiling, const HeightSource& heights) {
    std::vector<TileOutline> outlines;
    for (const Tile& tile : tiling.tiles()) {
        TileOutline o;
        o.i = tile.i;
        o.j = tile.j;
        o.minX = gridPointX(heights, tile.rect.minX);
        o.maxX = gridPointX(heights, tile.rect.maxX);
        o.minY = gridPointY(heights, tile.rect.minY);
        o.maxY = gridPointY(heights, tile.rect.maxY);
        outlines.push_back(o);
    }
    return outlines;
}

PictureFrame framePicture(const HeightSource& heights, const Layout* layout,
                          std::int32_t longSide) {
    const double tx0 = static_cast<double>(gridPointX(heights, 0));
    const double tx1 = static_cast<double>(gridPointX(heights, heights.gridWidth));
    const double ty0 = static_cast<double>(gridPointY(heights, 0));
    const double ty1 = static_cast<double>(gridPointY(heights, heights.gridHeight));
    Bounds b;
    b.add(tx0, ty0);
    b.add(tx1, ty1);
    if (layout) {
        for (const TrackRecord& t : layout->tracks) {
            if (t.id == 0) continue;
            b.add(t.start.x, t.start.y);
            b.add(t.end.x, t.end.y);
        }
        for (const ObjectRecord& o : layout->objects)
            if (o.id != 0) b.add(o.position.x, o.position.y);
    }
    const double tw = tx1 - tx0, th = ty1 - ty0;
    b.minX = std::max(b.minX, tx0 - tw);
    b.maxX = std::min(b.maxX, tx1 + tw);
    b.minY = std::max(b.minY, ty0 - th);
    b.maxY = std::min(b.maxY, ty1 + th);

    double spanX = b.maxX - b.minX, spanY = b.maxY - b.minY;
    const double margin = MarginShare * std::max(spanX, spanY);
    spanX += 2 * margin;
    spanY += 2 * margin;
    const double longer = std::max(spanX, spanY);

    if (longSide <= 0) {
        const double steps = std::ceil(longer / heights.pixelSize);
        longSide = static_cast<std::int32_t>(std::clamp(
            steps, static_cast<double>(MinAutomaticSide), static_cast<double>(MaxPreviewSide)));
    }
    longSide = std::min(longSide, MaxPreviewSide);

    PictureFrame f;
    f.cmPerPixel = longer / longSide;
    auto side = [&](double span) {
        const double n = std::ceil(span / f.cmPerPixel - 1e-6);
        return static_cast<std::int32_t>(std::clamp(n, 1.0, static_cast<double>(longSide)));
    };
    f.width = side(spanX);
    f.height = side(spanY);
    // The content sits in the middle of the picture.
    f.left = (b.minX + b.maxX) / 2 - f.width * f.cmPerPixel / 2;
    f.top = (b.minY + b.maxY) / 2 + f.height * f.cmPerPixel / 2;
    return f;
}

PreviewPicture renderPreview(const PreviewScene& scene, const PictureFrame& frame) {
    PreviewPicture image = makeImage(frame.width, frame.height, Background);
    if (image.width == 0 || !scene.heights || scene.heights->gridWidth <= 0 ||
        scene.heights->pixelSize <= 0)
        return image;
    drawTerrain(image, scene, frame);
    drawTiles(image, scene, frame);
    drawLayout(image, scene, frame);
    drawScaleBar(image, frame);
    drawNorthArrow(image, frame);
    return image;
}
