#include "tests/hoehen/hoehen_fixtures.h"

#include <cstdlib>

TrackRecord makeTrack(std::int16_t id, const std::string& name, std::int16_t connections,
                      Point3 start, Point3 end, Vector3 direction) {
    TrackRecord t;
    t.id = id;
    t.name = name;
    t.connectionCount = connections;
    t.start = start;
    t.end = end;
    t.direction = direction;
    for (int s = 0; s < connections; ++s)
        t.connections[static_cast<std::size_t>(s)] = {static_cast<std::int16_t>(id * 10 + s),
                                                      static_cast<std::int16_t>(s % 2)};
    return t;
}

ObjectRecord makeObject(std::int16_t id, const std::string& path, Point3 position,
                        Vector3 direction) {
    ObjectRecord o;
    o.id = id;
    o.path = path;
    o.position = position;
    o.direction = direction;
    o.param1 = 100;
    o.param2 = 100;
    return o;
}

Layout terrainLayout() {
    Layout layout;
    const Vector3 east = {1.0f, 0.0f, 0.0f};
    const Vector3 slant = {0.6f, 0.8f, 0.0f};
    layout.tracks = {
        makeTrack(1, "Gerade", 2, {-400, -200, 0}, {100, 50, 0}, {0.894f, 0.447f, 0.0f}),
        makeTrack(2, "Stumpfgleis", 1, {-300, 100, 0}, {300, 100, 0}, east),
        makeTrack(3, "Brueckengleis", 2, {200, -150, 0}, {380, 150, 0}, slant),
        makeTrack(4, "Weiche", 3, {399, 199, 0}, {100000, -100000, 0}, east),
    };
    layout.tracks[3].setting1 = 7;
    const TrackRecord& stub = layout.tracks[1];
    const Point3 stop = stub.bufferStopPosition();
    layout.objects = {
        makeObject(1, "Baum", {0, 0, 0}, east),
        makeObject(2, "Haus", {-250, 30, 0}, slant),
        makeObject(3, "Berge\\bmp0_0", {0, 0, -100}, east),
        makeObject(4, "..\\Prellbock", {stop.x, stop.y, -5}, stub.endDirection()),
        makeObject(5, "..\\Bruecken\\Holz", {290, 0, 0}, slant),
        makeObject(6, "Baum", {500, 300, 0}, east),
    };
    EntryRecord entry;
    entry.id = 1;
    entry.name = "Bahnhof";
    entry.tail = {17, 1, 2};
    layout.entries.push_back(entry);
    for (auto& camera : layout.cameras)
        camera.setDefault();
    layout.cameras[1].position = {100, -100, 500};
    return layout;
}

std::vector<std::uint8_t> layoutImage(Layout& layout) {
    std::vector<std::uint8_t> image;
    if (!layout.writeImage(image)) std::abort();
    return image;
}
