// A model file that cannot be written whole is not written at all.
#include "common/file_messages.h"
#include "generator/mesh_model.h"
#include "tests/support/no_file_lost.h"

#include <gtest/gtest.h>

TEST(ModelWrite, NeverLosesTheOldFile) {
    // A tile of size 0: one coloured vertex and its format block.
    MeshModel model;
    model.parts.resize(1);
    MeshPart& part = model.parts[0];
    part.vertices.resize(1);
    part.vertices[0].position[2] = 1234;
    part.vertices[0].colour = {10, 20, 30, 1};
    part.formats.resize(1);
    // As the generator writes each tile: one image, no wait for the disk.
    auto write = [&](const std::string& path) {
        std::vector<std::uint8_t> image;
        model.serializeInto(image);
        return writeFileSafely(path, image, Durability::Replaceable);
    };
    expectNoFileLost("bmp0_0.mod", write, Durability::Replaceable);
}
