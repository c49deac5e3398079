#include "generator/mesh_model.h"

#include "common/bytes.h"
#include "platform/platform.h"

#include <string_view>

namespace {

// Class references: 0x8000 + the running number of the class.
constexpr std::uint16_t kNewClass = 0xFFFF;
constexpr std::uint16_t kArrayClassRef = 0x8001; // "CObArray", number 1
constexpr std::uint16_t kPointClassRef = 0x8003; // "CObPunkt", number 3
// The largest class number a 16-bit reference with the top bit can carry.
constexpr std::int64_t kMaxClassNumber = 0x7FFE;
constexpr std::int64_t kMaxCount = 32767;

// The primitive codes of the index groups.
constexpr std::int32_t kPoints = 0, kLines = 1, kTriangles = 4, kQuads = 7, kPolygon = 9;

void writeClassName(ByteWriter& out, std::string_view name) {
    out.u16(static_cast<std::uint16_t>(name.size()));
    out.bytes(name.data(), name.size());
}

void newClass(ByteWriter& out, std::string_view name) {
    out.u16(kNewClass);
    out.u16(0); // schema
    writeClassName(out, name);
}

void writeVertex(ByteWriter& out, const MeshVertex& v) {
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

void writeFormat(ByteWriter& out, const MeshFormat& f) {
    for (std::uint32_t w : f.formatInts)
        out.u32(w);
    for (double d : f.formatReals)
        out.f64(d);
    for (float x : f.formatFloats)
        out.f32(x);
}

// The index entries of one part, separated by the index class reference.
class IndexEntries {
  public:
    IndexEntries(ByteWriter& out, std::uint16_t tag) : out_(out), tag_(tag) {}
    void marker(std::int32_t code) { entry(code, 1); }
    void index(std::int16_t i) { entry(i, 0); }

  private:
    void entry(std::int32_t value, std::int32_t kind) {
        if (!first_) out_.u16(tag_);
        first_ = false;
        out_.i32(value);
        out_.i32(kind);
    }
    ByteWriter& out_;
    std::uint16_t tag_;
    bool first_ = true;
};

void writeIndexEntries(ByteWriter& out, const MeshPart& part, std::uint16_t tag) {
    IndexEntries e(out, tag);
    auto group = [&](std::int32_t code, std::int32_t count) {
        e.marker(code);
        for (const MeshFace& f : part.faces)
            if (f.indexCount == count)
                for (int k = 0; k < count; ++k)
                    e.index(f.firstIndices[k]);
    };
    group(kPoints, 1);
    group(kLines, 2);
    group(kTriangles, 3);
    group(kQuads, 4);
    e.marker(kPolygon);
    for (const MeshFace& f : part.faces) {
        if (f.indexCount <= 4) continue;
        for (int k = 0; k < 4; ++k)
            e.index(f.firstIndices[k]);
        for (std::int32_t k = 4; k < f.indexCount; ++k) {
            std::size_t at = static_cast<std::size_t>(k - 4);
            e.index(at < f.moreIndices.size() ? f.moreIndices[at] : std::int16_t{0});
        }
        e.marker(kPolygon);
    }
    e.marker(kPolygon);
}

std::size_t vertexCountOf(const MeshPart& p) {
    return p.vertexCount > 0 ? static_cast<std::size_t>(p.vertexCount) : 0;
}
std::size_t formatCountOf(const MeshPart& p) {
    return p.formatCount > 0 ? static_cast<std::size_t>(p.formatCount) : 0;
}

} // namespace

std::uint16_t MeshPart::indexEntryCount() const {
    std::uint32_t n = 6;
    for (const MeshFace& f : faces) {
        n += static_cast<std::uint32_t>(f.indexCount);
        if (f.indexCount > 4) n += 1;
    }
    return static_cast<std::uint16_t>(n);
}

void MeshPart::release() {
    vertices.clear();
    vertexCount = 0;
    faces.clear();
    faceCount = 0;
    formats.clear();
    formatCount = 0;
}

void MeshModel::computeClassTags() {
    std::uint32_t tag = 0x8004;
    for (const MeshPart& p : parts)
        tag += static_cast<std::uint32_t>(static_cast<std::uint16_t>(p.vertexCount)) + 1;
    indexClassTag = static_cast<std::uint16_t>(tag);
    tag = static_cast<std::uint32_t>(indexClassTag) + 1;
    for (const MeshPart& p : parts)
        tag += static_cast<std::uint32_t>(p.indexEntryCount()) + 1;
    formatClassTag = static_cast<std::uint16_t>(tag);
}

bool MeshModel::fitsFormat() const {
    if (partCount < 0 || static_cast<std::size_t>(partCount) != parts.size()) return false;
    // The running numbers, as computeClassTags counts them but without the
    // 16-bit wrap.
    std::int64_t indexClass = 4;
    std::int64_t formatClass = 0;
    std::int64_t entriesTotal = 0;
    for (const MeshPart& p : parts) {
        if (p.vertexCount < 0 || p.faceCount < 0 || p.formatCount < 0) return false;
        if (static_cast<std::size_t>(p.vertexCount) != p.vertices.size() ||
            static_cast<std::size_t>(p.faceCount) != p.faces.size() ||
            static_cast<std::size_t>(p.formatCount) != p.formats.size())
            return false;
        indexClass += p.vertexCount + 1;
        std::int64_t entries = 6;
        for (const MeshFace& f : p.faces) {
            if (f.indexCount < 0) return false;
            entries += f.indexCount + (f.indexCount > 4 ? 1 : 0);
        }
        if (entries > kMaxCount) return false;
        entriesTotal += entries + 1;
    }
    formatClass = indexClass + 1 + entriesTotal;
    return indexClass <= kMaxClassNumber && formatClass <= kMaxClassNumber;
}

bool quadGridFitsFormat(std::int64_t quadsX, std::int64_t quadsY) {
    if (quadsX < 0 || quadsY < 0) return false;
    const std::int64_t vertices = (quadsX + 1) * (quadsY + 1);
    const std::int64_t faces = quadsX * quadsY;
    const std::int64_t entries = 6 + 4 * faces;
    if (vertices > kMaxCount || faces > kMaxCount || entries > kMaxCount) return false;
    const std::int64_t indexClass = 4 + vertices + 1;
    const std::int64_t formatClass = indexClass + 1 + entries + 1;
    return formatClass <= kMaxClassNumber;
}

std::vector<std::uint8_t> MeshModel::serialize() {
    std::vector<std::uint8_t> image;
    serializeInto(image);
    return image;
}

void MeshModel::serializeInto(std::vector<std::uint8_t>& image) {
    ByteWriter out(std::move(image));
    std::size_t expected = 46;
    for (const MeshPart& p : parts)
        expected += 40 + 50 * vertexCountOf(p) + 10 * p.indexEntryCount() + 50 * formatCountOf(p);
    out.reserve(expected);

    const auto n = static_cast<std::uint16_t>(partCount);
    out.u16(n);
    out.u16(0);
    for (double d : headerReals)
        out.f64(d);
    for (std::int32_t w : headerInts)
        out.i32(w);
    out.u16(n);
    if (partCount <= 0 || parts.empty()) {
        out.u16(0);
        out.u16(0);
        image = std::move(out.buffer());
        return;
    }
    computeClassTags();
    const std::size_t count = std::min(parts.size(), static_cast<std::size_t>(partCount));

    // Points.
    newClass(out, "CObArray");
    for (std::size_t p = 0; p < count; ++p) {
        const MeshPart& part = parts[p];
        if (p == 0) {
            out.u16(static_cast<std::uint16_t>(part.vertexCount));
            newClass(out, "CObPunkt");
        } else {
            out.u16(kArrayClassRef);
            out.u16(static_cast<std::uint16_t>(part.vertexCount));
            out.u16(kPointClassRef);
        }
        const std::size_t nv = std::min(vertexCountOf(part), part.vertices.size());
        for (std::size_t v = 0; v < nv; ++v) {
            if (v != 0) out.u16(kPointClassRef);
            writeVertex(out, part.vertices[v]);
        }
    }

    // Index lists.
    out.u16(n);
    for (std::size_t p = 0; p < count; ++p) {
        const MeshPart& part = parts[p];
        out.u16(kArrayClassRef);
        out.u16(part.indexEntryCount());
        if (p == 0)
            newClass(out, "CObIndex");
        else
            out.u16(indexClassTag);
        writeIndexEntries(out, part, indexClassTag);
    }

    // Formats.
    out.u16(n);
    for (std::size_t p = 0; p < count; ++p) {
        const MeshPart& part = parts[p];
        out.u16(kArrayClassRef);
        out.u16(static_cast<std::uint16_t>(part.formatCount));
        if (p == 0)
            newClass(out, "CObFormat");
        else
            out.u16(formatClassTag);
        const std::size_t nf = std::min(formatCountOf(part), part.formats.size());
        for (std::size_t f = 0; f < nf; ++f) {
            if (f != 0) out.u16(formatClassTag);
            writeFormat(out, part.formats[f]);
        }
    }
    image = std::move(out.buffer());
}

bool MeshModel::write(std::string_view path, std::vector<std::uint8_t>* buffer) {
    std::vector<std::uint8_t> own;
    std::vector<std::uint8_t>& image = buffer ? *buffer : own;
    serializeInto(image);
    // A model is remade by every run: no need to wait for the disk.
    return writeFileSafely(path, image, Durability::Replaceable);
}

void MeshModel::clear() {
    for (MeshPart& p : parts)
        p.release();
    parts.clear();
    partCount = 0;
}
