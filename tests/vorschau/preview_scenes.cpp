#include "tests/vorschau/preview_scenes.h"

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
