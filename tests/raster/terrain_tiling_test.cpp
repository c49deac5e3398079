// The largest tile that fits the model format, against plain countdowns:
// the generator's offer on a given grid and zumt_dgm's square tile ask the
// one search two questions.
#include "raster/terrain_tiling.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>

TEST(TileSearch, TheModelFormatHoldsEightyByEightyQuads) {
    EXPECT_TRUE(quadGridFitsFormat(80, 80));
    EXPECT_FALSE(quadGridFitsFormat(81, 81));
    // A narrow tile may be longer: (W + 1) x (H + 1) vertices and 4 W H index
    // entries count, and both lift the format's class numbers.
    EXPECT_TRUE(quadGridFitsFormat(216, 30));
    EXPECT_FALSE(quadGridFitsFormat(217, 30));
    EXPECT_TRUE(quadGridFitsFormat(0, 0));
    EXPECT_FALSE(quadGridFitsFormat(-1, 0));
    EXPECT_FALSE(quadGridFitsFormat(INT64_MAX, 1));
    EXPECT_FALSE(quadGridFitsFormat(1, INT64_MAX));
}

TEST(TileSearch, FindsTheLargestSquareTileOfAtMostTheLength) {
    // The countdown zumt_dgm used: from the longest tile down.
    auto countdown = [](std::int32_t stepCm, std::int32_t maxLengthCm) {
        std::int32_t half = stepCm > 0 ? maxLengthCm / 2 / stepCm : 0;
        while (half > 1 && !quadGridFitsFormat(2 * half, 2 * half))
            --half;
        return 2 * std::max(half, 1);
    };
    for (std::int32_t maxLengthCm : {40000, 1000, 1, 0, -40000}) {
        for (std::int32_t stepCm = -2; stepCm <= 700; ++stepCm) {
            SCOPED_TRACE(testing::Message() << stepCm << " cm, at most " << maxLengthCm);
            ASSERT_EQ(largestTileSteps(stepCm, maxLengthCm), countdown(stepCm, maxLengthCm));
        }
    }
    EXPECT_EQ(largestTileSteps(1, INT32_MAX), 80);
    EXPECT_EQ(largestTileSteps(INT32_MAX, 40000), 2);
}

TEST(TileSearch, OffersTheLargestTileThatFitsOnTheGrid) {
    struct Case {
        std::int32_t width, height, spacingSteps;
    } cases[] = {{200, 200, 20},  {1000, 30, 20}, {30, 1000, 7},
                 {500, 500, 500}, {3, 3, 1},      {0, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << "x" << c.height << " every " << c.spacingSteps);
        std::optional<Tiling> t =
            planTiling(c.width, c.height, 100, 100 * 600, 100 * c.spacingSteps);
        ASSERT_TRUE(t);
        // Every tile of the plan measured on its own, not by the largest.
        auto fits = [](const Tiling& plan) {
            return std::ranges::all_of(plan.tiles(), [](const Tile& k) {
                return quadGridFitsFormat(k.rect.maxX - k.rect.minX, k.rect.maxY - k.rect.minY);
            });
        };
        Tiling down = *t;
        while (down.tileHalf > 0 && !fits(down))
            --down.tileHalf;
        EXPECT_EQ(largestFittingTileHalf(*t), down.tileHalf);
    }
}
