#include "tests/layout/layout_fixtures.h"

#include <string>

Layout sampleLayout() {
    Layout layout;
    auto track = [&](std::int16_t id, const char* name, std::int16_t connections,
                     std::int32_t variant, Point3 start, Point3 end, Vector3 direction) {
        TrackRecord t;
        t.id = id;
        t.name = name;
        t.type = 0; // the writer derives the code from connections and variant
        t.connectionCount = connections;
        t.variant = variant;
        t.start = start;
        t.end = end;
        t.direction = direction;
        for (int s = 0; s < connections && s < 4; ++s)
            t.connections[s] = {static_cast<std::int16_t>(id + s + 1),
                                static_cast<std::int16_t>(s)};
        if (connections >= 3) t.setting1 = static_cast<std::int16_t>(id * 3);
        if (connections >= 4) t.setting2 = static_cast<std::int16_t>(id * 5);
        layout.tracks.push_back(t);
        return &layout.tracks.back();
    };
    track(1, "Strecke", 2, 0, {0, 0, 100}, {5, 10, 201}, {1.0f, 0.0f, 0.0f});
    track(2, "Prellbock-Gleis", 1, 0, {0, 0, 0}, {1000, 0, 50}, {1.0f, 0.0f, 0.0f});
    track(3, "W3", 3, 0, {-300, 40, 7}, {-900, 77, 9}, {-1.0f, 0.25f, 0.0f});
    track(4, "", 4, 0, {10, 20, 30}, {40, 50, 60}, {0.0f, 1.0f, 0.0f});
    track(5, "Bogen", 2, 7, {0, 0, 0}, {1000, 1000, 0}, {1.0f, 0.0f, 0.0f});
    track(6, "Weiche links", 3, 1, {1, 2, 3}, {4, 5, 6}, {0.6f, 0.8f, 0.0f});
    track(7, std::string(255, 'x').c_str(), 4, -1, {-7, -8, -9}, {7, 8, 9}, {0.0f, -1.0f, 0.5f});
    TrackRecord* six = track(8, "Signal", 2, 42, {100, 100, 100}, {200, 200, 200}, {1, 1, 0});
    six->type = 6; // kept as it is
    six->text2 = "Hp0";
    TrackRecord* drehscheibe = track(9, "Drehscheibe", 5, 0, {0, 0, 0}, {10, 0, 0}, {1, 0, 0});
    drehscheibe->type = 11;
    drehscheibe->connections[2] = {21, 1};
    drehscheibe->connections[3] = {};
    drehscheibe->connections[4] = {23, 2};
    drehscheibe->pointA = {1, 2, 3};
    drehscheibe->pointB = {4, 5, 6};
    drehscheibe->pointC = {7, 8, 9};
    drehscheibe->realValue = 0.1f;
    drehscheibe->setting1 = 99;
    drehscheibe->setting2 = -99;
    // A curved end: its buffer stop's place goes through the trigonometry.
    const TrackRecord* curve =
        track(10, "Kurve", 1, 0, {0, 0, 0}, {3000, 1200, 0}, {1.0f, 0.0f, 0.0f});
    const Point3 curveStop = curve->bufferStopPosition();
    const Vector3 curveEnd = curve->endDirection();

    const Vector3 x = {1.0f, 0.0f, 0.0f};
    layout.objects = {
        {1, "Berge\\bmp0_0", {-40000, -20000, -100}, x, 100, 100},
        {2, "..\\Bruecken\\Stahl", {3, 5, 0}, x, 100, 100},
        {3, "..\\Prellbock", {700, 0, 20}, x, 100, 100},
        {4, "..\\Prellbock", {0, 0, 0}, x, 100, 100},
        {5, "Berge\\bmp0_0", {-40000, -20000, -100}, {1.0f, -0.0f, 0.0f}, 100, 100}, // duplicate
        {6, "..\\Prellbock", {curveStop.x, curveStop.y, 7}, curveEnd, 100, 100},
    };
    layout.linkAttachedObjects();
    layout.tracks[1].end.z = 80; // the stop follows its track's height

    for (int id : {7, 3, 3, 0, 30000}) {
        EntryRecord e;
        e.id = static_cast<std::int16_t>(id);
        e.name = "Eintrag " + std::to_string(id);
        e.text2 = id == 3 ? "zweiter" : "";
        e.values[0] = id;
        e.bytes = {1, 2, 3};
        e.tail = {id * 1000, static_cast<std::uint8_t>(id), static_cast<std::int16_t>(-id)};
        layout.entries.push_back(e);
    }
    for (auto& camera : layout.cameras)
        camera.setDefault();
    layout.cameras[4].position.z = -1;
    layout.properties.colourA = {204, 230, 255};
    layout.properties.colourB = {1, 2, 3};
    layout.properties.extraBytes[19] = 0xEE;
    layout.properties.extraValue = -5;
    return layout;
}
