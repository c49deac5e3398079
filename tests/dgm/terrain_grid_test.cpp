// Mosaic, holes, resampling, systems, the ".ter" read back by our reader.
#include "dgm/coordinate_systems.h"
#include "dgm/reader_support.h"
#include "dgm/reproject.h"
#include "dgm/target_system.h"
#include "dgm/terrain_grid.h"
#include "dgm/terrain_writer.h"
#include "raster/terragen_file.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>

namespace {

using Height = std::function<double(double x, double y)>;

const Height plane = [](double x, double y) { return 2.0 * x + 3.0 * y; };

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

// Plane tiles "west north columns rows step [deg|EPSG]", apart by ";".
std::vector<ElevationGrid> tiles(const std::string& text) {
    std::vector<ElevationGrid> out;
    std::istringstream all(text);
    for (std::string one; std::getline(all, one, ';');) {
        std::istringstream in(one);
        double west = 0, north = 0, step = 0;
        std::size_t cols = 0, rows = 0;
        in >> west >> north >> cols >> rows >> step;
        ElevationGrid& g = out.emplace_back(tile(west, north, cols, rows, step, plane));
        for (std::string more; in >> more;)
            more == "deg" ? void(g.geographic = true) : void(g.epsg = std::stoi(more));
    }
    return out;
}

RowGrid gridOf(ElevationGrid g) {
    Mosaic m;
    EXPECT_TRUE(m.add(g, "a"));
    return m.take();
}

constexpr float N = ElevationGrid::NoData;

// A metric grid, step 1, from (0, 0), holes where hole(c, r) says.
RowGrid handMade(std::size_t cols, std::size_t rows, const std::function<bool(int, int)>& hole) {
    RowGrid g;
    g.columns = cols, g.stepX = g.stepY = 1.0;
    for (std::size_t r = 0; r < rows; ++r) {
        g.rows.emplace_back();
        for (std::size_t c = 0; c < cols; ++c)
            g.rows.back().push_back(hole(int(c), int(r)) ? N : float(100 + c + 2 * r));
    }
    return g;
}

long long holesIn(const RowGrid& g) {
    long long n = 0;
    for (const auto& row : g.rows)
        for (float v : row)
            n += std::isnan(v) ? 1 : 0;
    return n;
}

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

// An input that does not fit the first, or lies far from the others, is
// refused naming both (the pair farthest apart); the mosaic stays. Far
// apart is seen from the extents: allocations beyond 512 MB are fatal here.
TEST(DgmMosaic, RefusesInputsThatDoNotFitOrLieFarApart) {
    const std::string apart = " liegen nicht beieinander (", second = "0.00027777777777777778";
    struct Case {
        std::string inputs;  // named a, b, c, ...
        std::string message; // its start
        double km;           // the distance named (within 1 %); 0: in the message
        std::size_t columns; // of the mosaic before the last input
    } cases[] = {
        {"0 10 3 3 1 25832; 3 10 3 3 2", "b passt nicht zu a (", 0, 3},
        {"0 10 3 3 1 25832; 3.5 10 3 3 1", "b passt nicht zu a (", 0, 3},
        {"0 10 3 3 1 25832; 3 10 3 3 1 deg", "b passt nicht zu a (", 0, 3},
        {"0 10 3 3 1 25832; 3 10 3 3 1 25833", "b passt nicht zu a (", 0, 3},
        {"0 10 2 2 1; 5e9 10 2 2 1", "a und b" + apart + "5000000.0 km)!\n", 0, 2},
        // The great circle from (11.0006 E, 47.9994 N) to (100 E, 11 N).
        {"11 48 3 3 " + second + " deg; 100 11 3 3 " + second + " deg", "a und b" + apart, 9027, 3},
        {"0 10 2 2 1; 2 10 2 2 1; -7e4 -3e4 2 2 1", "b und c" + apart + "76.2 km)!\n", 0, 4},
        {"0 0 3 1 1; 300000 0 3 1 1", "a und b" + apart + "300.0 km)!\n", 0, 3},
        {"0 0 200000 1 1; 200000 0 200000 1 1",
         "Hoehendaten zu gross mit b: 400000 x 1 Punkte (hoechstens 262140 je Seite, 268435456 "
         "insgesamt)!\n",
         0, 200000},
    };
    for (Case& k : cases) {
        SCOPED_TRACE(k.inputs);
        std::vector<ElevationGrid> inputs = tiles(k.inputs);
        Mosaic m;
        MessageCapture shown;
        std::string name = "a";
        for (std::size_t i = 0; i + 1 < inputs.size(); ++i, ++name[0])
            ASSERT_TRUE(m.add(inputs[i], name));
        EXPECT_FALSE(m.add(inputs.back(), name));
        ASSERT_EQ(shown.messages.size(), 1u);
        const std::string& text = shown.messages[0];
        EXPECT_EQ(text.rfind(k.message, 0), 0u) << text;
        if (k.km > 0) {
            double km = 0;
            ASSERT_EQ(std::sscanf(text.c_str() + text.find('(') + 1, "%lf", &km), 1) << text;
            EXPECT_NEAR(km, k.km, k.km / 100);
        }
        EXPECT_EQ(m.take().columns, k.columns);
    }
    // A cut beyond any number leaves the input out, without trouble.
    Mosaic far(Area{1e300, 1e300, 2e300, 2e300});
    ElevationGrid g = tile(0, 10, 2, 2, 1, plane);
    EXPECT_TRUE(far.add(g, "a"));
    EXPECT_TRUE(far.take().empty());
}

TEST(DgmMosaic, CountsOverlapsAndSumsWhatTheReadersCounted) {
    ElevationGrid a = tile(0, 10, 3, 2, 1.0, plane);
    a.noData = {1, 2, 3};
    a.conflicts = {4, 0.5};
    // b over a's eastern columns: within 1 cm in one row, 0.25/0.75 m off.
    ElevationGrid b = tile(1, 10, 3, 2, 1.0, [](double x, double y) {
        return plane(x, y) + (y == 10 ? 0.009 : x == 1 ? 0.25 : 0.75);
    });
    b.noData = {10, 20, 30};
    b.conflicts = {1, 2.0};
    Mosaic m;
    ASSERT_TRUE(m.add(a, "a"));
    ASSERT_TRUE(m.add(b, "b"));
    EXPECT_EQ(m.overlaps().points, 2);
    EXPECT_NEAR(m.overlaps().largest, 0.75, 1e-4);
    const NoDataCounts& n = m.noData();
    EXPECT_EQ((std::vector{n.declared, n.impossible, n.given, m.repeated().points}),
              (std::vector<long long>{11, 22, 33, 5}));
    EXPECT_EQ(m.repeated().largest, 2.0);
    const RowGrid g = m.take();
    EXPECT_EQ(g.rows[1][2], plane(2, 9)); // the first input's height stays
    EXPECT_EQ(g.rows[1][3], plane(3, 9) + 0.75f);
}

TEST(DgmFill, FillsSmallHolesFromTheirShoreAndLargeOnesFlat) {
    RowGrid line;
    line.columns = 5, line.stepX = line.stepY = 1;
    line.rows = {{1, N, N, N, 5}};
    EXPECT_EQ(fillHoles(line).interpolated, 3);
    EXPECT_EQ(line.rows[0], (std::vector<float>{1, 1, 3, 5, 5}));

    const auto square = [](int c, int r) {
        return std::abs(c - 15) <= 10 && std::abs(r - 15) <= 10;
    };
    struct Case {
        const char* name;
        std::size_t cols, rows;
        std::function<bool(int, int)> hole;
        int smallHoleSteps;
        long long interpolated, flat;
    } cases[] = {
        // A seam one step wide across the whole grid is small however long.
        {"seam", 30, 200, [](int c, int) { return c == 15; }, 10, 200, 0},
        // A square of 21 × 21: its centre lies 11 steps from data.
        {"radius 11, small up to 10", 31, 31, square, 10, 0, 441},
        {"radius 11, small up to 11", 31, 31, square, 11, 441, 0},
        {"no small holes at all", 5, 5, [](int c, int r) { return c == 2 && r == 2; }, 0, 0, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        RowGrid g = handMade(k.cols, k.rows, k.hole);
        const RowGrid before = g;
        const FillReport r = fillHoles(g, k.smallHoleSteps);
        EXPECT_TRUE(r.anyValid);
        EXPECT_EQ(r.interpolated, k.interpolated);
        EXPECT_EQ(r.flat, k.flat);
        EXPECT_EQ(r.points, k.cols * k.rows);
        EXPECT_EQ(holesIn(g), 0);
        // Flat at the rim's lowest or between its heights; data unchanged.
        float rimLow = 1e9f, rimHigh = -1e9f;
        for (int y = 0; y < int(k.rows); ++y)
            for (int x = 0; x < int(k.cols); ++x) {
                bool rim = false;
                for (int d = 0; d < 9; ++d)
                    rim = rim || k.hole(x + d % 3 - 1, y + d / 3 - 1);
                if (!rim || k.hole(x, y)) continue;
                rimLow = std::min(rimLow, g.rows[y][x]);
                rimHigh = std::max(rimHigh, g.rows[y][x]);
            }
        for (std::size_t y = 0; y < k.rows; ++y)
            for (std::size_t x = 0; x < k.cols; ++x) {
                if (!k.hole(int(x), int(y)))
                    ASSERT_EQ(g.rows[y][x], before.rows[y][x]);
                else if (k.flat > 0)
                    ASSERT_EQ(g.rows[y][x], rimLow);
                else
                    ASSERT_TRUE(g.rows[y][x] > rimLow && g.rows[y][x] < rimHigh) << x << "," << y;
            }
    }
    RowGrid empty = handMade(2, 2, [](int, int) { return true; });
    EXPECT_FALSE(fillHoles(empty).anyValid);
    EXPECT_EQ(empty.rowCount(), 2u);
    EXPECT_TRUE(std::isnan(empty.rows[0][0]));
}

// A GDAL-made blob filled as tools/make_dgm_test_data.sh worked it out.
TEST(DgmFill, FillsTheGdalBlobAsWorkedOut) {
    const auto table = readTable("dgm/fill_blob.csv");
    ASSERT_EQ(table.size(), 1u);
    const auto& want = table[0];
    ElevationGrid read;
    ASSERT_TRUE(readElevationFile(testDataFile("dgm/" + want[0]), read));
    const double west = read.west, north = read.north;
    RowGrid g = gridOf(std::move(read));
    const FillReport f = fillHoles(g);
    std::vector<std::string> got; // the table's columns 1 to 12
    for (std::size_t v : {g.columns, g.rowCount(), f.cutNorth, f.cutSouth, f.cutWest, f.cutEast,
                          std::size_t(f.interpolated), std::size_t(f.flat), f.filledFirstColumn,
                          f.filledLastColumn, f.filledFirstRow, f.filledLastRow})
        got.push_back(std::to_string(v));
    ASSERT_EQ(got, std::vector<std::string>(want.begin() + 1, want.begin() + 13));
    EXPECT_EQ(g.west, west + 10.0 * double(f.cutWest));
    EXPECT_EQ(g.north, north - 10.0 * double(f.cutNorth));
    EXPECT_EQ(f.filledArea.x1, g.west + 10.0 * double(f.filledFirstColumn));
    EXPECT_EQ(f.filledArea.y1, g.north - 10.0 * double(f.filledFirstRow));
    EXPECT_EQ(f.filledArea.x2, g.west + 10.0 * double(f.filledLastColumn));
    EXPECT_EQ(f.filledArea.y2, g.north - 10.0 * double(f.filledLastRow));
    EXPECT_NEAR(f.filledPercent(), 100.0 * (12 + 272) / (34 * 25), 1e-9);
    std::istringstream heights(want[13]);
    for (std::size_t r = 0; r < g.rowCount(); ++r)
        for (std::size_t c = 0; c < g.columns; ++c) {
            double h = 0;
            ASSERT_TRUE(heights >> h);
            ASSERT_NEAR(g.rows[r][c], h, 1e-3) << c << "," << r;
        }
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
    // Each point: its longitude's height, within a 75 m cell mean.
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
        for (std::int32_t r = 0; r < 3; ++r) // the file's row 0 is the south
            for (std::int32_t c = 0; c < 4; ++c)
                ASSERT_NEAR(t.heightAt(c, 2 - r) / 100.0, g.rows[r][c], k.tolerance) << c << r;
    }
}

TEST(DgmResample, RefusesTerrainsBeyondTheLimitsNamingTheStepThatFits) {
    struct Case {
        double width, height; // of a grid of 2 x 2 points, at a step of 1 m
        const char* points;   // in the message; "": fits
        const char* step;     // the finest --raster that fits; "": none
    } cases[] = {
        {70000, 1, "70001 x 2", "1.07"},
        {20000, 20000, "20001 x 20001", "1.23"},
        {5e9, 5e9, "5000000001 x 5000000001", "305175.79"},
        {1e308, 1, "18446744073709551615 x 2", ""},
        {16384, 16383, "16385 x 16384", "1.01"},
        {16383, 16383, "", ""}, // 2^28 points, the most
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.width);
        RowGrid g;
        g.columns = 2, g.stepX = k.width, g.stepY = k.height;
        g.rows = {{1, 2}, {3, 4}};
        MessageCapture shown;
        const bool fits = metricGridFits(g, MetricFrame{}, 1);
        EXPECT_EQ(fits, *k.points == 0);
        if (fits) continue; // (making 2^28 points would take a while)
        const std::string step =
            *k.step ? std::string("; mit --raster ") + k.step + " passt es" : "";
        EXPECT_EQ(shown.messages, std::vector<std::string>{formatText(
                                      "Gelaende zu gross: %s Punkte (hoechstens 65535 je Seite, "
                                      "268435456 insgesamt)%s!\n",
                                      k.points, step.c_str())});
        RowGrid source = g;
        EXPECT_TRUE(resampleToMetric(std::move(source), MetricFrame{}, 1).empty());
        EXPECT_EQ(source.rows, g.rows); // left as it was
    }
}

// --- coordinate systems ------------------------------------------------------

// Points forward and back as PROJ carries them: within a millimetre,
// Gauss-Krueger (same seven parameters) within a centimetre.
TEST(CoordinateSystems, CarryPointsAsProjDoes) {
    const auto table = readTable("dgm/sys_points.csv");
    ASSERT_GE(table.size(), 14u);
    for (const auto& row : table) {
        SCOPED_TRACE(row[0] + " -> " + row[1] + " " + row[2] + " " + row[3]);
        const auto t = CoordinateTransform::between(std::stoi(row[0]), std::stoi(row[1]));
        ASSERT_TRUE(t);
        double x = std::stod(row[2]), y = std::stod(row[3]);
        ASSERT_TRUE(t->apply(x, y));
        const bool gk = t->from().semiMajor != t->to().semiMajor;
        const double tolerance = t->to().geographic ? 1e-8 : gk ? 0.01 : 0.001; // 1e-8 deg ~ 1 mm
        EXPECT_NEAR(x, std::stod(row[4]), tolerance);
        EXPECT_NEAR(y, std::stod(row[5]), tolerance);
    }
    EXPECT_FALSE(CoordinateTransform::between(25832, 3035)); // outside the table
}

// ESRI descriptions carry names only (GDAL's parameters: the tile below).
TEST(CoordinateSystems, PrjTextsGiveTheirCodes) {
    const struct {
        const char* wkt;
        int epsg;
    } cases[] = {
        {"PROJCS[\"ETRS_1989_UTM_ZONE_32N\",GEOGCS[\"GCS_ETRS_1989\"]]", 25832},
        {"PROJCS[\"WGS_1984_UTM_ZONE_33S\",GEOGCS[\"GCS_WGS_1984\"]]", 32733},
        {"GEOGCS[\"GCS_ETRS_1989\",DATUM[\"D_ETRS_1989\",SPHEROID[\"GRS_1980\"]]]", 4258},
        {"PROJCS[\"X\",GEOGCS[\"GCS_WGS_1984\"],PROJECTION[\"TRANSVERSE_MERCATOR\"],PARAMETER["
         "\"FALSE_EASTING\",500000.0],PARAMETER[\"CENTRAL_MERIDIAN\",-75.0],PARAMETER[\"SCALE_"
         "FACTOR\",0.9996]]",
         32618},
        {"PROJCS[\"ETRS89-EXTENDED/LAEA\",AUTHORITY[\"EPSG\",\"3035\"]]", 3035},
        {"PROJCS[\"LAMBERT\",GEOGCS[\"GCS_ETRS_1989\"],PROJECTION[\"LAMBERT\"]]", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wkt);
        EXPECT_EQ(epsgFromWkt(c.wkt), c.epsg);
    }
}

// Tiles in zones 32, 33 and GK 4 join on the first's lattice within 5 cm.
TEST(Reproject, TilesOfThreeSystemsJoinOnTheFormula) {
    const double x0 = 715000, y0 = 5543000;
    auto formula = [&](double x, double y) {
        return 300 + 0.02 * (x - x0) - 0.015 * (y - y0) +
               4 * std::sin((x - x0) / 150) * std::cos((y - y0) / 120);
    };
    InputSystems systems{SystemOptions{}};
    Mosaic mosaic;
    for (const char* name : {"sys_utm32.tif", "sys_utm33.tif", "sys_gk4.asc"}) {
        ElevationGrid g;
        ASSERT_TRUE(readElevationFile(testDataFile(std::string("dgm/") + name), g));
        ASSERT_TRUE(systems.prepare(g, name));
        ASSERT_TRUE(mosaic.add(g, name));
        systems.latticeFrom(g);
    }
    EXPECT_EQ(systems.target(), 25832);
    const RowGrid grid = mosaic.take();
    ASSERT_EQ(grid.epsg, 25832);
    // The first tile, the 300 m east of it (zone 33), the 300 m south (GK).
    const Area areas[] = {{x0, y0, x0 + 290, y0 + 290},
                          {x0 + 300, y0, x0 + 590, y0 + 290},
                          {x0, y0 - 300, x0 + 290, y0 - 10}};
    int checked = 0;
    double largest = 0;
    for (std::size_t r = 0; r < grid.rowCount(); ++r)
        for (std::size_t c = 0; c < grid.columns; ++c) {
            const double x = grid.west + double(c) * grid.stepX,
                         y = grid.north - double(r) * grid.stepY;
            if (std::none_of(std::begin(areas), std::end(areas), [&](const Area& a) {
                    return x >= a.x1 - 1e-6 && x <= a.x2 + 1e-6 && y >= a.y1 - 1e-6 &&
                           y <= a.y2 + 1e-6;
                }))
                continue;
            ++checked;
            SCOPED_TRACE(testing::Message() << x << " " << y);
            ASSERT_FALSE(std::isnan(grid.rows[r][c]));
            largest = std::max(largest, std::fabs(grid.rows[r][c] - formula(x, y)));
        }
    EXPECT_EQ(checked, 3 * 30 * 30);
    EXPECT_LT(largest, 0.05);
}

// The lattice's bilinear interpolation against the exact transform.
TEST(Reproject, LatticeStaysWithinAMillimetre) {
    for (int to : {25833, 31468, 4326}) {
        SCOPED_TRACE(to);
        const auto t = CoordinateTransform::between(25832, to);
        ASSERT_TRUE(t);
        const double error = latticeError(*t, {2000, 2000, 714000, 5545000, 1, 1});
        EXPECT_LT(error * (t->to().geographic ? 111000.0 : 1.0), 0.001);
    }
}

// Onto a coarser lattice: the mean over each step (0/10 m alternating gives
// 5 m, a bilinear pick 0 to 10); a hole stays a hole.
TEST(Reproject, CoarserTargetTakesTheMeanAndKeepsHoles) {
    ElevationGrid g = tile(285000, 5545000, 200, 200, 1.0, [](double x, double y) {
        return (long long)(x + y) % 2 == 0 ? 0.0 : 10.0;
    });
    g.epsg = 25833;
    for (std::size_t r = 100; r < 140; ++r)
        for (std::size_t c = 100; c < 140; ++c)
            g.heights[r * 200 + c] = ElevationGrid::NoData;
    ElevationGrid out;
    ASSERT_TRUE(warpHeights(g, "fine", {25832, false, 0, 0, 10, 10}, out));
    int holes = 0, means = 0;
    for (float h : out.heights) {
        if (std::isnan(h)) {
            ++holes;
            continue;
        }
        ++means;
        EXPECT_NEAR(h, 5.0, 0.6);
    }
    EXPECT_GT(means, 250);
    EXPECT_GT(holes, 9); // the 40 m hole: at least 3 x 3 points of 10 m
}

// Degree cuts: the smallest lattice rectangle around PROJ's corners.
TEST(Reproject, DegreeAreasCutTheSmallestRectangleAroundTheirCorners) {
    for (const auto& row : readTable("dgm/sys_places.csv")) {
        if (row[0] == "marker") continue;
        SCOPED_TRACE(row[0]);
        DegreeArea a;
        a.centred = row[0] == "mitte";
        a.lat1 = std::stod(row[1]);
        a.lon1 = std::stod(row[2]);
        if (a.centred) {
            a.size = std::stod(row[5]);
        } else {
            a.lat2 = std::stod(row[3]);
            a.lon2 = std::stod(row[4]);
        }
        InputSystems systems{SystemOptions{0, 0, a}};
        ElevationGrid g;
        ASSERT_TRUE(readElevationFile(testDataFile("dgm/sys_utm32.tif"), g));
        ASSERT_TRUE(systems.prepare(g, "sys_utm32.tif"));
        std::optional<Area> cut;
        ASSERT_TRUE(systems.cut(g, cut));
        ASSERT_TRUE(cut);
        EXPECT_NEAR(cut->x1, std::stod(row[6]), 0.01);
        EXPECT_NEAR(cut->y1, std::stod(row[7]), 0.01);
        EXPECT_NEAR(cut->x2, std::stod(row[8]), 0.01);
        EXPECT_NEAR(cut->y2, std::stod(row[9]), 0.01);
    }
}

TEST(Reproject, ReadsDegreesWithSuffixesAndDecimalCommas) {
    const struct {
        const char* text;
        bool latitude, ok;
        double value;
    } cases[] = {{"47.5", true, true, 47.5},     {"47,5N", true, true, 47.5},
                 {"12.25s", true, true, -12.25}, {"11,2E", false, true, 11.2},
                 {"8W", false, true, -8},        {"11.2O", false, true, 11.2},
                 {"-47S", true, false, 0},       {"91", true, false, 0},
                 {"11E", true, false, 0},        {"1,2,3", false, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        double v = 0;
        EXPECT_EQ(parseDegrees(c.text, c.latitude, v), c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value);
        }
    }
}
