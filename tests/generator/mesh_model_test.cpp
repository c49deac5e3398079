#include "common/bytes.h"
#include "generator/mesh_model.h"

#include <gtest/gtest.h>
#include <string>

namespace {

MeshVertex vertexAt(std::int32_t x, std::int32_t y, std::int32_t z) {
    MeshVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    return v;
}

MeshFace face(std::initializer_list<std::int16_t> indices) {
    MeshFace f;
    f.indexCount = static_cast<std::int32_t>(indices.size());
    int k = 0;
    for (std::int16_t i : indices) {
        if (k < 4) {
            f.firstIndices[k] = i;
        } else {
            f.moreIndices.push_back(i);
        }
        ++k;
    }
    return f;
}

MeshPart part(std::vector<MeshVertex> vertices, std::vector<MeshFace> faces) {
    MeshPart p;
    p.vertices = std::move(vertices);
    p.faces = std::move(faces);
    p.formats.resize(1);
    return p;
}

MeshModel model(std::vector<MeshPart> parts) {
    MeshModel m;
    m.parts = std::move(parts);
    return m;
}

std::string textAt(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data()) + at, n);
}

std::uint16_t u16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// Reads the index entries of a one-part model as (value, kind) pairs.
std::vector<std::pair<std::int32_t, std::int32_t>> indexEntries(const std::vector<std::uint8_t>& b,
                                                                std::size_t first,
                                                                std::size_t count,
                                                                std::uint16_t tag) {
    std::vector<std::pair<std::int32_t, std::int32_t>> out;
    ByteReader r(b.data(), b.size());
    r.skip(first);
    for (std::size_t k = 0; k < count; ++k) {
        if (k != 0) {
            EXPECT_EQ(r.u16(), tag);
        }
        std::int32_t v = r.i32();
        out.emplace_back(v, r.i32());
    }
    EXPECT_FALSE(r.failed());
    return out;
}

} // namespace

TEST(MeshModelWrite, EmptyModelIs46Bytes) {
    MeshModel m;
    m.headerReals[0] = 1.5;
    m.headerInts[2] = -1;
    auto b = m.serialize();
    ASSERT_EQ(b.size(), 46u);
    ByteReader r(b.data(), b.size());
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.f64(), 1.5);
    EXPECT_EQ(r.f64(), 0.0);
    EXPECT_EQ(r.f64(), 0.0);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), 0);
    EXPECT_EQ(r.i32(), -1);
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u16(), 0);
    EXPECT_EQ(r.u16(), 0);
    EXPECT_TRUE(r.atEnd());
}

TEST(MeshModelWrite, OneQuadByteForByte) {
    std::vector<MeshVertex> v = {vertexAt(0, 0, 1), vertexAt(100, 0, 2), vertexAt(0, 100, 3),
                                 vertexAt(100, 100, 4)};
    v[1].colour = PixelColour{10, 20, 30, 1}; // hasColour never reaches the file
    MeshModel m = model({part(v, {face({2, 3, 1, 0})})});
    auto b = m.serialize();
    ASSERT_EQ(b.size(), 457u);
    EXPECT_EQ(b.size(), 217u + 50 * 4 + 40 * 1);
    EXPECT_EQ(m.indexClassTag, 0x8009);
    EXPECT_EQ(m.formatClassTag, 0x8015);

    EXPECT_EQ(u16At(b, 0), 1);
    EXPECT_EQ(u16At(b, 40), 1);
    EXPECT_EQ(u16At(b, 42), 0xFFFF);
    EXPECT_EQ(u16At(b, 46), 8);
    EXPECT_EQ(textAt(b, 48, 8), "CObArray");
    EXPECT_EQ(u16At(b, 56), 4);
    EXPECT_EQ(textAt(b, 64, 8), "CObPunkt");
    // The second vertex follows a 0x8003 reference; its colour bytes at 24.
    EXPECT_EQ(u16At(b, 72 + 48), 0x8003);
    std::size_t second = 72 + 48 + 2;
    EXPECT_EQ(b[second + 0], 100);
    EXPECT_EQ(b[second + 32], 10);
    EXPECT_EQ(b[second + 33], 20);
    EXPECT_EQ(b[second + 34], 30);
    EXPECT_EQ(b[second + 35], 0);

    EXPECT_EQ(u16At(b, 270), 1);
    EXPECT_EQ(u16At(b, 272), 0x8001);
    EXPECT_EQ(u16At(b, 274), 10);
    EXPECT_EQ(textAt(b, 282, 8), "CObIndex");
    auto entries = indexEntries(b, 290, 10, 0x8009);
    std::vector<std::pair<std::int32_t, std::int32_t>> want = {
        {0, 1}, {1, 1}, {4, 1}, {7, 1}, {2, 0}, {3, 0}, {1, 0}, {0, 0}, {9, 1}, {9, 1}};
    EXPECT_EQ(entries, want);

    EXPECT_EQ(u16At(b, 388), 1);
    EXPECT_EQ(u16At(b, 390), 0x8001);
    EXPECT_EQ(u16At(b, 392), 1);
    EXPECT_EQ(textAt(b, 400, 9), "CObFormat");
    ByteReader r(b.data(), b.size());
    r.skip(409);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_EQ(r.u32(), 0u);
    EXPECT_EQ(r.f64(), 90.0);
    EXPECT_EQ(r.f64(), 0.0);
    EXPECT_EQ(r.f64(), 0.0);
    EXPECT_EQ(r.f32(), 1.0f);
    EXPECT_EQ(r.f32(), 1.0f);
    EXPECT_EQ(r.f32(), 1.0f);
    EXPECT_TRUE(r.atEnd());
}

TEST(MeshModelWrite, OneVertexWithoutFacesStillWritesItsMarkers) {
    MeshModel m = model({part({vertexAt(1, 2, 3)}, {})});
    auto b = m.serialize();
    ASSERT_EQ(b.size(), 267u);
    EXPECT_EQ(m.indexClassTag, 0x8006);
    EXPECT_EQ(m.formatClassTag, 0x800E);
    EXPECT_EQ(m.parts[0].indexEntryCount(), 6);
}

TEST(MeshModelWrite, PolygonsAndMixedFacesKeepTheirGroups) {
    std::vector<MeshVertex> v(7);
    MeshModel m = model(
        {part(v, {face({0, 1, 2, 3, 4, 5}), face({6}), face({1, 2, 3}), face({}), face({4, 5})})});
    EXPECT_EQ(m.parts[0].indexEntryCount(), 6 + 6 + 1 + 1 + 3 + 0 + 2);
    auto b = m.serialize();
    // The first entry follows the header (42), the point array (class,
    // count, class, 7 vertices with 6 references), the section's count, the
    // array reference, the entry count and the class "CObIndex".
    std::size_t first = 42 + 14 + 2 + 14 + 7 * 48 + 6 * 2 + 2 + 2 + 2 + 14;
    EXPECT_EQ(textAt(b, first - 8, 8), "CObIndex");
    auto entries = indexEntries(b, first, 19, m.indexClassTag);
    std::vector<std::pair<std::int32_t, std::int32_t>> want = {
        {0, 1}, {6, 0}, {1, 1}, {4, 0}, {5, 0}, {4, 1}, {1, 0}, {2, 0}, {3, 0}, {7, 1},
        {9, 1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {9, 1}, {9, 1}};
    EXPECT_EQ(entries, want);
    // Then the format section: N, the array, "CObFormat" and one block.
    EXPECT_EQ(b.size(), first + 19 * 8 + 18 * 2 + 2 + 4 + 15 + 48);
}

TEST(MeshModelWrite, SecondPartsUseClassReferences) {
    MeshModel m = model({part({vertexAt(0, 0, 0), vertexAt(1, 0, 0)}, {face({0, 1})}),
                         part({vertexAt(5, 5, 5)}, {})});
    auto b = m.serialize();
    // Running numbers: CObArray 1, array 2, CObPunkt 3, vertices 4 and 5,
    // second array 6, its vertex 7, the first index array 8, CObIndex 9.
    EXPECT_EQ(m.indexClassTag, 0x8000 + 9);
    // Then 8 entries, the second index array and its 6 entries, the first
    // format array: CObFormat is 26.
    EXPECT_EQ(m.formatClassTag, 0x8000 + 26);

    std::size_t at = 42 + 16 + 2 + 12 + 48 + 2 + 48; // after part 0's vertices
    EXPECT_EQ(u16At(b, at), 0x8001);
    EXPECT_EQ(u16At(b, at + 2), 1);
    EXPECT_EQ(u16At(b, at + 4), 0x8003);
    at += 6 + 48;
    EXPECT_EQ(u16At(b, at), 2); // section 2: N
    at += 2 + 4 + 6 + 8 + 8 * 8 + 7 * 2;
    EXPECT_EQ(u16At(b, at), 0x8001);
    EXPECT_EQ(u16At(b, at + 2), 6);
    EXPECT_EQ(u16At(b, at + 4), m.indexClassTag);
    at += 6 + 6 * 8 + 5 * 2;
    EXPECT_EQ(u16At(b, at), 2); // section 3: N
    at += 2 + 4 + 6 + 9 + 48;
    EXPECT_EQ(u16At(b, at), 0x8001);
    EXPECT_EQ(u16At(b, at + 2), 1);
    EXPECT_EQ(u16At(b, at + 4), m.formatClassTag);
    EXPECT_EQ(at + 6 + 48, b.size());
}

TEST(MeshModelLimits, QuadGridsUpTo80By80Fit) {
    EXPECT_TRUE(quadGridFitsFormat(0, 0));
    EXPECT_TRUE(quadGridFitsFormat(80, 80));
    EXPECT_FALSE(quadGridFitsFormat(81, 81));
    EXPECT_FALSE(quadGridFitsFormat(81, 80) && quadGridFitsFormat(82, 80));
    EXPECT_FALSE(quadGridFitsFormat(32767, 1));
    EXPECT_FALSE(quadGridFitsFormat(-1, 3));
}
