#include "tests/vorschau/preview_scenes.h"

#include "tests/raster/raster_test_files.h"

void writeTerrainFiles(const TempFolder& folder, std::int32_t width, std::int32_t height,
                       const std::function<std::int32_t(std::int32_t, std::int32_t)>& heightCm,
                       const std::function<Rgb(std::int32_t, std::int32_t)>& colour) {
    BitmapPlan heights(width, height);
    heights.pixel = [&](std::int32_t x, std::int32_t y) { return 10000 + heightCm(x, y); };
    writeBytes(folder.file("hoehe.bmp"), makeBitmap(heights));
    // A pixel's stored bytes are blue, green, red, the first the most
    // significant of the plan's value.
    BitmapPlan colours(width, height);
    colours.pixel = [&](std::int32_t x, std::int32_t y) {
        const Rgb c = colour ? colour(x, y) : Rgb{70, 140, 60};
        return (c.blue << 16) | (c.green << 8) | c.red;
    };
    writeBytes(folder.file("farbe.bmp"), makeBitmap(colours));
}

TrackRecord sceneTrack(std::int16_t id, Point3 start, Point3 end) {
    TrackRecord t;
    t.id = id;
    t.name = "Gleis";
    t.type = 1;
    t.connectionCount = 2;
    t.direction = {1.0f, 0.0f, 0.0f};
    t.start = start;
    t.end = end;
    return t;
}
