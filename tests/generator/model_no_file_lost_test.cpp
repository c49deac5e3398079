// A model file that cannot be written whole is not written at all.
#include "generator/mesh_model.h"
#include "tests/support/no_file_lost.h"

#include <gtest/gtest.h>

TEST(ModelWrite, NeverLosesTheOldFile) {
    // One quad on four vertices with one format block: a small real tile.
    MeshPart part;
    for (std::int32_t i = 0; i < 4; ++i) {
        MeshVertex v;
        v.position[0] = (i % 2) * 1000;
        v.position[1] = (i / 2) * 1000;
        v.position[2] = 100 + i;
        v.colour = {10, 20, 30, 1};
        part.vertices.push_back(v);
    }
    MeshFace quad;
    quad.indexCount = 4;
    quad.firstIndices[0] = 0;
    quad.firstIndices[1] = 1;
    quad.firstIndices[2] = 3;
    quad.firstIndices[3] = 2;
    part.faces.push_back(quad);
    part.formats.resize(1);
    MeshModel model;
    model.parts.push_back(part);

    expectNoFileLost("bmp0_0.mod", [&](const std::string& path) { return model.write(path); });
}
