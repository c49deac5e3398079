// The converter between the readers and the files: mosaic, holes,
// resampling, the ".ter" read back by our own reader.
#include "dgm/terrain_grid.h"
#include "dgm/terrain_writer.h"
#include "raster/terragen_file.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using Height = std::function<double(double x, double y)>;

ElevationGrid tile(double west, double north, std::size_t cols, std::size_t rows, double step,
                   const Height& z) {
    ElevationGrid g;
    g.columns = cols, g.rows = rows, g.west = west, g.north = north, g.stepX = g.stepY = step;
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < cols; ++c)
            g.heights.push_back(static_cast<float>(
                z(west + static_cast<double>(c) * step, north - static_cast<double>(r) * step)));
    return g;
}

RowGrid gridOf(ElevationGrid g) {
    Mosaic m;
    EXPECT_TRUE(m.add(g, "a"));
    return m.take();
}

const Height plane = [](double x, double y) { return 2.0 * x + 3.0 * y; };

} // namespace

TEST(DgmMosaic, JoinsTilesInAnyOrderAndCuts) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> corners; // west, north of 3 x 2 tiles, step 1
        std::optional<Area> cut;
        std::size_t cols, rows;
        double west, north;
    } cases[] = {
        {"east of", {{0, 10}, {3, 10}}, {}, 6, 2, 0, 10},
        {"west of", {{3, 10}, {0, 10}}, {}, 6, 2, 0, 10},
        {"north of, gap", {{0, 8}, {4, 11}}, {}, 7, 5, 0, 11},
        {"cut", {{0, 10}, {3, 10}}, Area{4.5, 9, 1, 10.2}, 4, 2, 1, 10},
        {"one outside the cut", {{0, 10}, {30, 10}}, Area{0, 0, 2, 20}, 3, 2, 0, 10},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Mosaic m(k.cut);
        for (auto [w, n] : k.corners) {
            ElevationGrid g = tile(w, n, 3, 2, 1.0, plane);
            ASSERT_TRUE(m.add(g, "t"));
            EXPECT_TRUE(g.heights.empty());
        }
        RowGrid g = m.take();
        ASSERT_EQ(g.columns, k.cols);
        ASSERT_EQ(g.rowCount(), k.rows);
        EXPECT_EQ(g.west, k.west);
        EXPECT_EQ(g.north, k.north);
        for (std::size_t r = 0; r < g.rowCount(); ++r)
            for (std::size_t c = 0; c < g.columns; ++c) {
                const float v = g.rows[r][c];
                if (!std::isnan(v)) {
                    EXPECT_EQ(v, plane(k.west + double(c), k.north - double(r)));
                }
            }
    }
}

TEST(DgmMosaic, RefusesInputsThatDoNotFitNamingBoth) {
    ElevationGrid ref = tile(0, 10, 3, 3, 1.0, plane);
    ref.epsg = 25832;
    ElevationGrid other[4] = {tile(3, 10, 3, 3, 2.0, plane), tile(3.5, 10, 3, 3, 1.0, plane),
                              tile(3, 10, 3, 3, 1.0, plane), tile(3, 10, 3, 3, 1.0, plane)};
    other[2].geographic = true;
    other[3].epsg = 25833;
    for (ElevationGrid& g : other) {
        Mosaic m;
        MessageCapture shown;
        ElevationGrid first = ref;
        ASSERT_TRUE(m.add(first, "eins.asc"));
        EXPECT_FALSE(m.add(g, "zwei.asc"));
        ASSERT_EQ(shown.messages.size(), 1u);
        EXPECT_EQ(shown.messages[0].rfind("zwei.asc passt nicht zu eins.asc (", 0), 0u);
        EXPECT_EQ(m.take().columns, 3u);
    }
}

TEST(DgmFill, FillsEachHoleInwardFromItsShore) {
    const float n = ElevationGrid::NoData;
    RowGrid line;
    line.columns = 5;
    line.rows = {{1, n, n, n, 5}};
    EXPECT_EQ(fillHoles(line), 3);
    EXPECT_EQ(line.rows[0], (std::vector<float>{1, 1, 3, 5, 5}));

    RowGrid empty;
    empty.columns = 2;
    empty.rows = {{n, n}, {n, n}};
    EXPECT_EQ(fillHoles(empty), -1);
    EXPECT_TRUE(std::isnan(empty.rows[0][0]));
}

TEST(DgmResample, KeepsAPlaneFinerAndCoarser) {
    for (double step : {0.5, 1.0, 2.0, 3.0}) {
        SCOPED_TRACE(step);
        RowGrid src = gridOf(tile(100, 200, 13, 13, 1.0, plane));
        RowGrid g = resampleToMetric(std::move(src), MetricFrame{}, step);
        EXPECT_TRUE(src.rows.empty());
        ASSERT_EQ(g.columns, static_cast<std::size_t>(12 / step) + 1);
        // Away from the border the cell mean of a plane is its centre value.
        for (std::size_t r = 1; r + 1 < g.rowCount(); ++r)
            for (std::size_t c = 1; c + 1 < g.columns; ++c)
                ASSERT_NEAR(g.rows[r][c], plane(100 + double(c) * step, 200 - double(r) * step),
                            1e-3);
    }
}

TEST(DgmResample, PutsDegreesOntoMetresAroundTheCentre) {
    ElevationGrid deg =
        tile(11.0, 47.505, 11, 11, 0.001, [](double lon, double) { return lon * 1000; });
    deg.geographic = true;
    RowGrid src = gridOf(deg);
    const MetricFrame f = metricFrameFor(src);
    EXPECT_NEAR(f.metresPerDegreeX, 75355.0, 150.0); // at 47.5 degrees north
    EXPECT_NEAR(f.metresPerDegreeY, 111168.0, 100.0);
    const std::int32_t stepCm = naturalStepCm(src, f);
    EXPECT_NEAR(stepCm, std::sqrt(75.355 * 111.168) * 100, 20);
    RowGrid g = resampleToMetric(std::move(src), f, stepCm / 100.0);
    EXPECT_FALSE(g.geographic);
    EXPECT_EQ(g.columns, static_cast<std::size_t>(753.55 / (stepCm / 100.0)) + 1);
    EXPECT_EQ(g.rowCount(), static_cast<std::size_t>(1111.68 / (stepCm / 100.0)) + 1);
    // Each point has the height of its own longitude (within the spread of
    // a cell mean over source points 75 m apart).
    for (std::size_t c = 0; c < g.columns; ++c)
        EXPECT_NEAR(g.rows[3][c], f.toInputX(g.west + double(c) * stepCm / 100.0) * 1000, 0.2);
}

TEST(DgmTerrainFile, ReadsBackNorthUpWithinItsPrecision) {
    struct Case {
        double low, high;
        std::int32_t stepCm;
        double tolerance; // metres
        bool gdalAlike;   // the height unit is the grid step
    } cases[] = {{239, 389, 1000, 0.01, true},  {0, 600, 29, 0.01, true},
                 {-420, 8848, 100, 0.1, true},  {100, 100, 200, 0.001, true},
                 {8000, 8848, 25, 0.02, true},  {-400, 7000, 25, 0.1, true},
                 {-1000, 9000, 25, 0.2, false}, {0, 167772, 100, 3.0, false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.high);
        const Height z = [&](double x, double y) {
            return k.low + (k.high - k.low) * (x * 5 + y) / 20;
        };
        RowGrid g = gridOf(tile(0, 2, 4, 3, 1.0, z));
        TempFolder dir;
        writeBytes(dir.file("t.ter"), encodeTerrain(RowGrid(g), k.stepCm));
        TerragenFile t;
        ASSERT_EQ(t.read(dir.file("t.ter")), 1);
        ASSERT_EQ(t.xpts, 4);
        ASSERT_EQ(t.ypts, 3);
        EXPECT_EQ(static_cast<std::int32_t>(static_cast<double>(t.scaleX) * 100.0), k.stepCm);
        EXPECT_EQ(t.scaleZ == t.scaleX, k.gdalAlike);
        EXPECT_EQ(chooseTerrainEncoding(k.low, k.high, k.stepCm).gdalReadsAlike(), k.gdalAlike);
        for (std::int32_t r = 0; r < 3; ++r) // the file's row 0 is the south
            for (std::int32_t c = 0; c < 4; ++c)
                ASSERT_NEAR(t.heightAt(c, 2 - r) / 100.0, g.rows[r][c], k.tolerance) << c << r;
    }
}
