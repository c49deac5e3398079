// Small terrains and layouts for the preview's tests, made by our own code.
#pragma once

#include "layout/layout.h"
#include "raster/height_source.h"
#include "settings/settings_file.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"
#include "vorschau/picture.h"

#include <cstdint>
#include <functional>

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
