// The preview picture: the terrain seen from above, the tiles the generator
// cuts from it and the layout on top, so a hobbyist can judge a generated
// terrain or a fitted layout without starting the host.
//
// Orientation: north up. Layout x grows to the right, layout y upward; the
// terrain grid lies where the generated layout places its tiles and the
// height program looks for it (grid_placement.h): grid point (c, r) at
// ((c − gridWidth / 2) × pixelSize, (r − gridHeight / 2) × pixelSize) cm,
// the halves rounded down. So the first stored row of a bitmap is the
// picture's bottom row, and an ordinary bitmap appears the right way up.
#pragma once

#include "layout/layout.h"
#include "raster/colour_source.h"
#include "raster/height_source.h"
#include "raster/terrain_settings.h"
#include "raster/terrain_tiling.h"
#include "vorschau/png_file.h"

#include <cstdint>
#include <optional>
#include <vector>

// The longest side a preview may have.
inline constexpr std::int32_t MaxPreviewSide = 2048;
// The automatic choice gives at least this many pixels on the longer side
// (small terrains are enlarged so tracks and markers stay legible).
inline constexpr std::int32_t MinAutomaticSide = 1024;

// The height the height application gives a track end at (x, y), by its
// mapping (terrainMapping) and the tracks' extra height:
// z = trunc(faktor × h + offset) + trackExtraCm, wrapping in 32 bits.
std::int32_t trackHeightUnder(const HeightSource& heights, const TerrainMapping& mapping,
                              std::int32_t x, std::int32_t y);

// How a track end sits: within GroundToleranceCm of the height the height
// application would give it, above (floating) or below (buried).
inline constexpr std::int32_t GroundToleranceCm = 5;
enum class EndFit { OnGround, Floating, Buried };
EndFit endFit(std::int32_t z, std::int32_t expected);

// One tile as the picture outlines it: its indices and the layout area its
// model covers, in cm.
struct TileOutline {
    std::int32_t i = 0;
    std::int32_t j = 0;
    std::int64_t minX = 0; // cm
    std::int64_t minY = 0; // cm
    std::int64_t maxX = 0; // cm
    std::int64_t maxY = 0; // cm
};
// Every tile of the tiling, in the generator's order.
std::vector<TileOutline> tileOutlines(const Tiling& tiling, const HeightSource& heights);

// Where the picture lies in the layout.
struct PictureFrame {
    double left = 0.0;       // cm: layout x of the picture's left edge
    double top = 0.0;        // cm: layout y of the picture's top edge
    double cmPerPixel = 1.0; // > 0
    std::int32_t width = 0;  // pixels
    std::int32_t height = 0; // pixels

    double pixelX(double x) const { return (x - left) / cmPerPixel; }
    double pixelY(double y) const { return (top - y) / cmPerPixel; }
    double layoutX(double px) const { return left + px * cmPerPixel; }
    double layoutY(double py) const { return top - py * cmPerPixel; }
};

// The frame around the terrain and the layout's tracks and objects (the
// cameras do not count), with a small margin; the layout may widen it by at
// most the terrain's own width and height on each side, so one stray point
// cannot shrink the terrain to a dot. longSide is the longer side in pixels,
// 1 .. MaxPreviewSide; 0 chooses one pixel per grid step, within
// MinAutomaticSide .. MaxPreviewSide. The source must not be empty and its
// pixelSize must be positive.
PictureFrame framePicture(const HeightSource& heights, const Layout* layout,
                          std::int32_t longSide = 0);

// Tile outlines are readable where neighbouring tile centres lie at least
// this many pixels apart; closer, they cover the land.
inline constexpr double MinTileStepPixels = 40.0;
bool tileOutlinesReadable(const Tiling& tiling, std::int32_t pixelSize, const PictureFrame& frame);

// How the tiles are shown: Automatic outlines them where that is readable
// and draws the terrain's outline and a note of the tile count ("3025
// Kacheln", top left) where it is not; the others force either.
enum class TileDrawing { Automatic, Outlines, CountOnly };

// What the picture shows.
struct PreviewScene {
    const HeightSource* heights = nullptr; // not empty, pixelSize > 0
    const ColourSource* colours = nullptr; // none: heights on a colour ramp
    TerrainMapping mapping;                // terrainMapping's, with the tracks' extra height
    std::optional<Tiling> tiling;          // none: no tile outlines
    TileDrawing tileDrawing = TileDrawing::Automatic;
    const Layout* layout = nullptr;
};

// Draws the picture: terrain (the colour bitmap or a ramp of the heights,
// shaded by the slopes, light from the north-west), the tiles (tileDrawing), tracks
// from end to end with their ends coloured by endFit (green on the ground,
// blue floating, red buried), bridges, buffer stops, objects, cameras, a
// scale bar and a north arrow.
PreviewPicture renderPreview(const PreviewScene& scene, const PictureFrame& frame);
