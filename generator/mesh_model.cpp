#include "generator/mesh_model.h"

#include "common/bytes.h"

#include <algorithm>
#include <string_view>

namespace {

// Class references: 0x8000 + the running number of the class.
constexpr std::uint16_t NewClass = 0xFFFF;
constexpr std::uint16_t ArrayClassRef = 0x8001; // "CObArray", number 1
constexpr std::uint16_t PointClassRef = 0x8003; // "CObPunkt", number 3

// The primitive codes of the index groups.
constexpr std::int32_t PointsGroup = 0, LinesGroup = 1, TrianglesGroup = 4, QuadsGroup = 7,
                       PolygonGroup = 9;

void writeClassName(ByteCursor& out, std::string_view name) {
    out.u16(static_cast<std::uint16_t>(name.size()));
    out.bytes(name.data(), name.size());
}

void newClass(ByteCursor& out, std::string_view name) {
    out.u16(NewClass);
    out.u16(0); // schema
    writeClassName(out, name);
}

constexpr std::size_t VertexSize = 48, IndexEntrySize = 8, FormatSize = 48;

// A record is written through a cursor of its own size (ByteCursor::take):
// the image's bounds are tested once per record. Value by value through the
// image's own cursor a tile took half as long again: every byte stored may
// change that cursor, for all the compiler knows.
void writeVertex(ByteCursor out, const MeshVertex& v) {
    out.i32(v.position[0]);
    out.i32(v.position[1]);
    out.i32(v.position[2]);
    out.i32(v.spare);
    for (std::uint32_t w : v.spareBlock)
        out.u32(w);
    out.u8(v.colour.red);
    out.u8(v.colour.green);
    out.u8(v.colour.blue);
    out.u8(v.spareByte);
    for (std::int32_t w : v.spareInts)
        out.i32(w);
}

void writeFormat(ByteCursor out, const MeshFormat& f) {
    for (std::uint32_t w : f.formatInts)
        out.u32(w);
    for (double d : f.formatReals)
        out.f64(d);
    for (float x : f.formatFloats)
        out.f32(x);
}

// An array's records, with the class reference tag between two of them.
template <class Record>
void writeRecords(ByteCursor& out, const std::vector<Record>& records, std::size_t size,
                  std::uint16_t tag, void (*write)(ByteCursor, const Record&)) {
    for (std::size_t k = 0; k < records.size(); ++k) {
        if (k != 0) out.u16(tag);
        write(out.take(size), records[k]);
    }
}

// The index entries of one part: a group marker per primitive, the indices
// of its faces, the polygons each closed by a marker, and a final marker.
// The class reference tag stands between two entries.
void writeIndexEntries(ByteCursor& out, const MeshPart& part, std::uint16_t tag) {
    auto entry = [tag](ByteCursor& to, std::int32_t value, std::int32_t kind) {
        to.u16(tag);
        to.i32(value);
        to.i32(kind);
    };
    auto marker = [&](std::int32_t code) { entry(out, code, 1); };
    // Which groups have faces at all: a tile has only quads, and the other
    // groups need no walk over its faces.
    bool present[6] = {}; // faces of 1, 2, 3, 4 and more indices
    for (const MeshFace& f : part.faces)
        if (f.indexCount > 0) present[std::min(f.indexCount, 5)] = true;
    // Faces of 1 to 4 indices: each group lists its faces' indices, a face's
    // entries through a cursor of their own size.
    auto group = [&](std::int32_t count) {
        if (!present[count]) return;
        for (const MeshFace& f : part.faces) {
            if (f.indexCount != count) continue;
            ByteCursor indices = out.take(static_cast<std::size_t>(count) * (2 + IndexEntrySize));
            for (int k = 0; k < count; ++k)
                entry(indices, f.firstIndices[k], 0);
        }
    };
    // The very first entry has no reference before it.
    out.i32(PointsGroup);
    out.i32(1);
    group(1);
    marker(LinesGroup);
    group(2);
    marker(TrianglesGroup);
    group(3);
    marker(QuadsGroup);
    group(4);
    marker(PolygonGroup);
    for (const MeshFace& f : part.faces) {
        if (!present[5]) break;
        if (f.indexCount <= 4) continue;
        for (int k = 0; k < 4; ++k)
            entry(out, f.firstIndices[k], 0);
        for (std::int32_t k = 4; k < f.indexCount; ++k) {
            std::size_t at = static_cast<std::size_t>(k - 4);
            entry(out, at < f.moreIndices.size() ? f.moreIndices[at] : std::int16_t{0}, 0);
        }
        marker(PolygonGroup);
    }
    marker(PolygonGroup);
}

// The bytes of a class name as newClass writes it, and of an array of n
// records of the given size with a 2-byte class reference between two of
// them.
std::size_t newClassSize(std::string_view name) {
    return 6 + name.size();
}
std::size_t recordsSize(std::size_t n, std::size_t record) {
    return n == 0 ? 0 : n * (record + 2) - 2;
}

} // namespace

std::size_t MeshPart::indexEntries() const {
    std::size_t n = 6;
    for (const MeshFace& f : faces) {
        if (f.indexCount > 0) n += static_cast<std::size_t>(f.indexCount);
        if (f.indexCount > 4) n += 1;
    }
    return n;
}

void MeshModel::computeClassTags() {
    std::uint32_t tag = 0x8004;
    for (const MeshPart& p : parts)
        tag += static_cast<std::uint32_t>(static_cast<std::uint16_t>(p.vertices.size())) + 1;
    indexClassTag = static_cast<std::uint16_t>(tag);
    tag = static_cast<std::uint32_t>(indexClassTag) + 1;
    for (const MeshPart& p : parts)
        tag += static_cast<std::uint32_t>(p.indexEntryCount()) + 1;
    formatClassTag = static_cast<std::uint16_t>(tag);
}

std::size_t MeshModel::fileSize() const {
    // The header with the point section's count; a model without parts has
    // two more empty counts.
    std::size_t size = 42;
    if (parts.empty()) return size + 4;
    // Each section: its class on first use, then per part its array (the
    // first one's class written in full, a further one's referenced), the
    // count and the records. The index and format sections open with N.
    size += newClassSize("CObArray") + 2 + 2;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const MeshPart& part = parts[p];
        const bool first = p == 0;
        size += (first ? 2 + newClassSize("CObPunkt") : 6) +
                recordsSize(part.vertices.size(), VertexSize);
        size += (first ? 4 + newClassSize("CObIndex") : 6) +
                recordsSize(part.indexEntries(), IndexEntrySize);
        size += (first ? 4 + newClassSize("CObFormat") : 6) +
                recordsSize(part.formats.size(), FormatSize);
    }
    return size;
}

void MeshModel::serializeInto(std::vector<std::uint8_t>& image) {
    // Sized once from the counts: a tile's model is some 40,000 small
    // values, and growing the image with them cost more than writing them.
    image.resize(fileSize());
    ByteCursor out(image.data(), image.size());

    const auto n = static_cast<std::uint16_t>(parts.size());
    out.u16(n);
    out.u16(0);
    for (double d : headerReals)
        out.f64(d);
    for (std::int32_t w : headerInts)
        out.i32(w);
    out.u16(n);
    if (parts.empty()) {
        out.u16(0);
        out.u16(0);
        return;
    }
    computeClassTags();

    // Points.
    newClass(out, "CObArray");
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const MeshPart& part = parts[p];
        const auto count = static_cast<std::uint16_t>(part.vertices.size());
        if (p == 0) {
            out.u16(count);
            newClass(out, "CObPunkt");
        } else {
            out.u16(ArrayClassRef);
            out.u16(count);
            out.u16(PointClassRef);
        }
        writeRecords(out, part.vertices, VertexSize, PointClassRef, writeVertex);
    }

    // Index lists.
    out.u16(n);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const MeshPart& part = parts[p];
        out.u16(ArrayClassRef);
        out.u16(part.indexEntryCount());
        if (p == 0)
            newClass(out, "CObIndex");
        else
            out.u16(indexClassTag);
        writeIndexEntries(out, part, indexClassTag);
    }

    // Formats.
    out.u16(n);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const MeshPart& part = parts[p];
        out.u16(ArrayClassRef);
        out.u16(static_cast<std::uint16_t>(part.formats.size()));
        if (p == 0)
            newClass(out, "CObFormat");
        else
            out.u16(formatClassTag);
        writeRecords(out, part.formats, FormatSize, formatClassTag, writeFormat);
    }
}
