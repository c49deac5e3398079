// Hand-assembled layout bytes for the tests. The assembler below follows the
// record tables piece by piece, written out plainly and independently of the
// field walkers of the reader and writer, with distinct values in every field
// so that a field out of place shows.
#pragma once

#include "layout/layout.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

struct TrackFixture {
    std::int16_t id = 0x0104;
    std::string name = "Gleis";
    std::int32_t type = 1;
    std::int32_t variant = 0;
    float direction[3] = {0.75f, -0.5f, 0.125f};
    std::int32_t start[3] = {-1000, 2000, 300};
    std::int32_t end[3] = {4000, -5000, 600};
    std::int16_t peer[20][2] = {}; // peerId, peerEnd per slot
    std::int16_t setting1 = 0x0511;
    std::int16_t setting2 = 0x0522;
    std::string text2;                  // code 6
    std::vector<std::int32_t> presence; // code 11: one word per extra slot
    std::int32_t pointA[3] = {11, 12, 13};
    std::int32_t pointB[3] = {21, 22, 23};
    std::int32_t pointC[3] = {31, 32, 33};
    float realValue = 2.5f;
    std::optional<std::int16_t> extraCount; // code 11: m as stored, else presence.size()

    TrackFixture();
};

// The record's bytes, exactly as the tables lay them out.
Bytes trackBytes(const TrackFixture& f);

// An object record; yFile is the y direction as the file holds it.
Bytes objectBytes(std::int16_t id, const std::string& path, Point3 position, float x, float yFile,
                  float z, std::int32_t param1, std::int32_t param2);
// An entry record whose fields are derived from its id.
Bytes entryBytes(std::int16_t id, const std::string& name, const std::string& text2);

// A whole file: the three lists (count, then records), zero cameras, the
// properties block (separators 0) and the tails as given.
struct FileFixture {
    std::vector<Bytes> tracks;
    std::vector<Bytes> objects;
    std::vector<Bytes> entries;
    Bytes tails;
};
Bytes layoutFile(const FileFixture& f);

void append(Bytes& out, const Bytes& more);
// The k-th (0-based) place where pattern occurs in bytes, or npos.
std::size_t findOccurrence(const Bytes& bytes, const Bytes& pattern, int k);
Bytes le16(std::int16_t v);
Bytes le32(std::int32_t v);
Bytes leFloat(float v);

// The layout the golden file tests/data/layout/sample.anl was written from:
// every type code, objects with a bridge, a buffer stop and a duplicate,
// entries with and without tails, default cameras and set colours.
Layout sampleLayout();
