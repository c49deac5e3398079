// Small terrains and layouts for the preview's tests, made by our own code.
#pragma once

#include "layout/layout.h"
#include "raster/height_source.h"
#include "settings/settings_file.h"
#include "tests/support/test_support.h"
#include "vorschau/picture.h"

#include <cstdint>
#include <functional>

// Writes "hoehe.bmp" (pixel (x, y) holds heightCm(x, y)) and "farbe.bmp"
// (pixel (x, y) has colour(x, y); a plain green without one) into the
// folder, both width × height pixels, y counted in file order.
void writeTerrainFiles(const TempFolder& folder, std::int32_t width, std::int32_t height,
                       const std::function<std::int32_t(std::int32_t, std::int32_t)>& heightCm,
                       const std::function<Rgb(std::int32_t, std::int32_t)>& colour = {});

// A plain track of two ends (type code 1) from start to end.
TrackRecord sceneTrack(std::int16_t id, Point3 start, Point3 end);

// A grid of the given size and pixel size whose every point is 0 cm high:
// enough for the frame and the tiling, and no file to read.
class GridOnly : public HeightSource {
  public:
    GridOnly(std::int32_t width, std::int32_t height, std::int32_t pixelCm) {
        gridWidth = width;
        gridHeight = height;
        pixelSize = pixelCm;
    }
    double heightAt(std::int32_t, std::int32_t) const override { return 0.0; }
};
