#include "tests/layout/layout_fixtures.h"

#include <algorithm>

namespace {

// ByteWriter is tested on its own; here it only lays bytes end to end.
struct Out : ByteWriter {
    void text(const std::string& s) { countedString(s); }
    void slot(const TrackFixture& f, int s) {
        i16(f.peer[s][0]);
        i16(f.peer[s][1]);
        i16(0);
    }
    void core(const TrackFixture& f) {
        for (float d : f.direction)
            f32(d);
        for (std::int32_t v : f.start)
            i32(v);
        for (std::int32_t v : f.end)
            i32(v);
        i16(f.id);
        text(f.name);
        i32(f.type);
        slot(f, 0);
        if (f.type != 2) slot(f, 1);
    }
};

} // namespace

TrackFixture::TrackFixture() {
    for (int s = 0; s < 20; ++s) {
        peer[s][0] = static_cast<std::int16_t>(0x0200 + s);
        peer[s][1] = static_cast<std::int16_t>(0x0300 + s);
    }
}

void append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

Bytes le16(std::int16_t v) {
    Out o;
    o.i16(v);
    return o.buffer();
}

Bytes le32(std::int32_t v) {
    Out o;
    o.i32(v);
    return o.buffer();
}

Bytes leFloat(float v) {
    Out o;
    o.f32(v);
    return o.buffer();
}

std::size_t findOccurrence(const Bytes& bytes, const Bytes& pattern, int k) {
    auto at = bytes.begin();
    for (;;) {
        at = std::search(at, bytes.end(), pattern.begin(), pattern.end());
        if (at == bytes.end()) return std::string::npos;
        if (k-- == 0) return static_cast<std::size_t>(at - bytes.begin());
        ++at;
    }
}

Bytes trackBytes(const TrackFixture& f) {
    const int code = f.type;
    Out o;
    o.i16(f.id);
    o.text(f.name);
    o.i32(code);
    if (code == 6 || code == 7) o.i32(f.variant);
    if (code == 4 || code == 9) {
        o.slot(f, 3);
        o.i16(f.setting2);
    }
    if (code == 3 || code == 4 || code == 8 || code == 9) {
        o.slot(f, 2);
        o.i16(f.setting1);
    }
    if (code == 11) {
        o.i32(0);
        o.i16(0);
        o.i16(f.setting1);
    }
    o.core(f);
    if (code == 6) o.text(f.text2);
    if (code == 9) {
        o.slot(f, 2);
        o.i16(f.setting1);
        o.core(f);
    }
    if (code == 8 || code == 9) {
        o.i32(f.variant);
        o.core(f);
    }
    if (code == 11) {
        o.i32(0);
        o.core(f);
        o.i16(f.extraCount.value_or(static_cast<std::int16_t>(f.presence.size())));
        for (std::int32_t p : f.presence)
            o.i32(p);
        for (const auto* p : {f.pointA, f.pointB, f.pointC, f.pointB})
            for (int i = 0; i < 3; ++i)
                o.i32(p[i]);
        for (std::size_t s = 0; s < f.presence.size(); ++s)
            if (f.presence[s] != 0) o.slot(f, static_cast<int>(s) + 2);
        o.f32(f.realValue);
        o.f32(f.realValue);
        o.i16(f.setting2);
    }
    return o.buffer();
}

Bytes objectBytes(std::int16_t id, const std::string& path, Point3 position, float x, float yFile,
                  float z, std::int32_t param1, std::int32_t param2) {
    Out o;
    o.i16(id);
    o.text(path);
    o.i32(position.x);
    o.i32(position.y);
    o.i32(position.z);
    o.f32(x);
    o.f32(yFile);
    o.f32(z);
    o.text(path);
    o.i32(param1);
    o.i32(param2);
    return o.buffer();
}

Bytes entryBytes(std::int16_t id, const std::string& name, const std::string& text2) {
    Out o;
    o.i16(id);
    o.text(name);
    o.i16(id);
    o.text(text2);
    for (int i = 0; i < 11; ++i)
        o.i32(id * 100 + i);
    for (int i = 0; i < 3; ++i)
        o.u8(static_cast<std::uint8_t>(0xB0 + i));
    o.text(name);
    o.u8(0xA1);
    o.i16(-2);
    o.u8(0xA2);
    o.i16(-3);
    o.u8(0xA3);
    return o.buffer();
}

Bytes layoutFile(const FileFixture& f) {
    Bytes out;
    for (const auto* list : {&f.tracks, &f.objects, &f.entries}) {
        append(out, le16(static_cast<std::int16_t>(list->size())));
        for (const Bytes& record : *list)
            append(out, record);
    }
    out.resize(out.size() + 160 + 32, 0);
    append(out, f.tails);
    return out;
}

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
