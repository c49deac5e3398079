#include "dgm/terrain_writer.h"

#include <utility>

std::vector<std::uint8_t> encodeTerrain(RowGrid&& grid, std::int32_t stepCm) {
    const std::size_t xpts = grid.columns, ypts = grid.rows.size();
    std::vector<std::uint8_t> image;
    if (xpts >= 2 && ypts >= 2 && xpts <= MaxTerrainSide && ypts <= MaxTerrainSide) {
        const HeightRange range = heightRange(grid);
        const TerrainEncoding e = chooseTerrainEncoding(range.low, range.high, stepCm);
        // A ".ter" runs from the south: the grid's last row comes first.
        image = encodeTerragenFile(
            e.header(static_cast<std::uint16_t>(xpts), static_cast<std::uint16_t>(ypts)),
            [&](std::size_t row, std::int16_t* samples) {
                std::vector<float>& heights = grid.rows[ypts - 1 - row];
                for (float h : heights)
                    *samples++ = e.sample(h);
                std::vector<float>().swap(heights);
            });
    }
    grid = RowGrid{};
    return image;
}
