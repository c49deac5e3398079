// MeshModel: one terrain tile as the host's ".mod" model file holds it.
//
// The file is a serialised object graph in the manner of a class-tagged
// archive: a class that occurs for the first time is written as 0xFFFF,
// schema 0 and its name (u16 length, bytes); it and every object take the
// next running number (from 1); a later object of a known class is preceded
// by 0x8000 + the class's number. All numbers little-endian.
//
//   OFFSET  SIZE  MEANING
//   0       2     u16 part count N
//   2       2     u16 0
//   4       24    3 x f64 headerReals
//   28      12    3 x 4 bytes headerInts
//   40      2     u16 N, the element count of the point section
//   N = 0: two more u16 0 (empty index and format sections), 46 bytes in all.
//   Otherwise three sections, each one array per part:
//   points   0xFFFF 0 "CObArray", u16 vertexCount, 0xFFFF 0 "CObPunkt",
//            48-byte vertices separated by u16 0x8003; a further part:
//            0x8001, u16 vertexCount, 0x8003, its vertices
//   indices  u16 N, 0x8001, u16 indexEntryCount, 0xFFFF 0 "CObIndex",
//            8-byte entries separated by indexClassTag; a further part:
//            0x8001, u16 count, indexClassTag, its entries
//   formats  u16 N, 0x8001, u16 formatCount, 0xFFFF 0 "CObFormat",
//            48-byte blocks separated by formatClassTag; likewise per part
//
//   vertex (48): position 3 x i32 (cm), spare i32, spareBlock 16 bytes,
//                red, green, blue, spareByte (1 byte each), spareInts 3 x i32
//   index entry (8): i32 value, i32 kind; kind 1 = group marker whose value
//                is a primitive code (0 points, 1 lines, 4 triangles,
//                7 quads, 9 polygon), kind 0 = a vertex index
//   format (48): formatInts 3 x 4 bytes, formatReals 3 x f64,
//                formatFloats 3 x f32
//
// The class references are 16-bit with the top bit set, so a class number
// must stay at most 0x7FFE; every u16 count must stay below 0xFFFF. That
// limits one part to about 80 x 80 quads; see quadGridFitsFormat.
#pragma once

#include "raster/colour_source.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct MeshVertex {
    std::int32_t position[3] = {0, 0, 0}; // x, y, z in cm
    std::int32_t spare = 0;
    std::uint32_t spareBlock[4] = {0, 0, 0, 0};
    PixelColour colour; // only red, green and blue reach the file
    std::uint8_t spareByte = 0;
    std::int32_t spareInts[3] = {0, 0, 0};
};

struct MeshFace {
    std::int32_t indexCount = 0; // 1 point, 2 line, 3 triangle, 4 quad, more: polygon
    std::int16_t firstIndices[4] = {0, 0, 0, 0}; // 0-based into the part's vertices
    std::vector<std::int16_t> moreIndices;       // index k (k >= 4) at position k - 4
};

struct MeshFormat {
    std::uint32_t formatInts[3] = {0, 0, 0};
    double formatReals[3] = {90.0, 0.0, 0.0};
    float formatFloats[3] = {1.0f, 1.0f, 1.0f};
};

// The counts the file stores are those of the arrays, taken as 16-bit
// values (see the limits above).
struct MeshPart {
    std::vector<MeshVertex> vertices;
    std::vector<MeshFace> faces;
    std::vector<MeshFormat> formats;

    // Index entries of the part: 6 group markers, one per index, and one
    // closing marker per polygon.
    std::size_t indexEntries() const;
    // The same as the file's 16-bit count holds it.
    std::uint16_t indexEntryCount() const { return static_cast<std::uint16_t>(indexEntries()); }
};

class MeshModel {
  public:
    std::int32_t headerInts[3] = {0, 0, 0};
    double headerReals[3] = {0.0, 0.0, 0.0};
    std::vector<MeshPart> parts;
    std::uint16_t indexClassTag = 0;  // class reference of "CObIndex"
    std::uint16_t formatClassTag = 0; // class reference of "CObFormat"

    // Sets indexClassTag and formatClassTag from the part sizes (16-bit sums).
    void computeClassTags();
    // The length of the file image in bytes.
    std::size_t fileSize() const;
    // The file image into out, sized once to fileSize(); its memory is
    // reused. Computes the class tags first.
    void serializeInto(std::vector<std::uint8_t>& out);
};
