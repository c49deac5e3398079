#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A height bitmap whose pixel (x, y) holds the height 10 x + y cm, and a
// colour bitmap whose pixel (x, y) is blue x, green y, red 200.
void writeRasters(const TempFolder& tmp, std::int32_t w, std::int32_t h, std::int32_t colourW = -1,
                  std::int32_t colourH = -1) {
    BitmapPlan heights;
    heights.width = w;
    heights.height = h;
    heights.pixel = [](std::int32_t x, std::int32_t y) { return 10000 + 10 * x + y; };
    writeBytes(tmp.file("hoehe.bmp"), makeBitmap(heights));
    BitmapPlan colours;
    colours.width = colourW < 0 ? w : colourW;
    colours.height = colourH < 0 ? h : colourH;
    colours.pixel = [](std::int32_t x, std::int32_t y) { return (x << 16) | (y << 8) | 200; };
    writeBytes(tmp.file("farbe.bmp"), makeBitmap(colours));
}

SettingsFile settingsOf(const std::string& text) {
    SettingsFile s;
    s.parse(text);
    return s;
}

const char* kGrid100x60 = "[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nName=Berge\n"
                          "Pixelgroesse=10\n";

class Generator : public ::testing::Test {
  protected:
    TempFolder tmp;
    MessageCapture capture;
    void SetUp() override {
        changeFolder(tmp.path().string());
#ifndef _WIN32
        unsetenv("ZUMT_HOST_DIR");
#endif
        forgetHostFolder();
    }
    std::string model(const std::string& name) const {
        return (tmp.path() / "Berge" / name).string();
    }
};

} // namespace

TEST(Tiling, CentresAreSpreadEvenlyOverTheGrid) {
    auto t = planTiling(100, 60, 1000, 20000, 20000);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->tileStep, 20);
    EXPECT_EQ(t->tileHalf, 20);
    EXPECT_EQ(t->countX, 5);
    EXPECT_EQ(t->countY, 3);
    EXPECT_EQ(t->startX, 10);
    EXPECT_EQ(t->startY, 10);
    auto tiles = t->tiles();
    ASSERT_EQ(tiles.size(), 15u);
    EXPECT_EQ(tiles[1].i, 0);
    EXPECT_EQ(tiles[1].j, 1);
    TileRect first = tiles[0].rect, last = tiles[14].rect;
    EXPECT_EQ((std::vector<int>{first.minX, first.centreX, first.maxX, first.minY, first.centreY,
                                first.maxY}),
              (std::vector<int>{0, 10, 30, 0, 10, 30}));
    EXPECT_EQ(
        (std::vector<int>{last.minX, last.centreX, last.maxX, last.minY, last.centreY, last.maxY}),
        (std::vector<int>{70, 90, 100, 30, 50, 60}));

    // A grid as wide as one step: one column, centred.
    t = planTiling(20, 20, 1000, 20000, 20000);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->countX, 1);
    EXPECT_EQ(t->startX, 10);
    // A step beyond the grid: no tile.
    t = planTiling(15, 60, 1000, 20000, 20000);
    EXPECT_EQ(t->tileCount(), 0);
    // Values that cannot tile.
    EXPECT_FALSE(planTiling(100, 60, 0, 20000, 20000));
    EXPECT_FALSE(planTiling(100, 60, 1000, 20000, 999));
    EXPECT_FALSE(planTiling(100, 60, 1000, -1000, 20000));
}

TEST(TileMesh, QuadsHeightsAndColours) {
    TempFolder tmp;
    writeRasters(tmp, 4, 3);
    BitmapHeightSource heights(tmp.file("hoehe.bmp"), 1000);
    ColourBitmap colours(tmp.file("farbe.bmp"), 1000);
    MeshModel m;
    TileRect rect{2, 3, 4, 1, 2, 3};
    fillTileMesh(settingsOf("[Terrain1]\nFaktor=1.0\nVerschiebung=0\nRGBFaktor=1.5\n"), m, colours,
                 heights, rect);
    ASSERT_EQ(m.partCount, 1);
    const MeshPart& p = m.parts[0];
    EXPECT_EQ(p.vertexCount, 9);
    EXPECT_EQ(p.faceCount, 4);
    // W = 2, P = 3: the quad a = 0, b = 0 is 3, 4, 1, 0.
    EXPECT_EQ((std::vector<int>{p.faces[0].firstIndices[0], p.faces[0].firstIndices[1],
                                p.faces[0].firstIndices[2], p.faces[0].firstIndices[3]}),
              (std::vector<int>{3, 4, 1, 0}));
    // Vertex (c = 3, r = 2) lies at the centre.
    const MeshVertex& centre = p.vertices[1 + 3 * 1];
    EXPECT_EQ(centre.position[0], 0);
    EXPECT_EQ(centre.position[1], 0);
    EXPECT_EQ(centre.position[2], static_cast<std::int32_t>(heights.heightAt(3, 2)));
    EXPECT_EQ(centre.colour.blue, 3 * 3 / 2); // 3 x 1.5, truncated
    EXPECT_EQ(centre.colour.green, 3);        // 2 x 1.5
    EXPECT_EQ(centre.colour.red, 255);        // 200 x 1.5, limited
    EXPECT_EQ(centre.colour.hasColour, 1);
    // Column 4 is the last grid column: no colour of its own.
    const MeshVertex& edge = p.vertices[2];
    EXPECT_EQ(edge.position[0], 1000);
    EXPECT_EQ(edge.position[1], -1000);
    EXPECT_EQ(edge.colour.red, 0);
    EXPECT_EQ(edge.colour.hasColour, 0);

    // tileHalf 0: a single vertex without faces.
    fillTileMesh(settingsOf("[Terrain1]\n"), m, colours, heights, TileRect{1, 1, 1, 1, 1, 1});
    EXPECT_EQ(m.parts[0].vertexCount, 1);
    EXPECT_EQ(m.parts[0].faceCount, 0);
}

TEST(TileMesh, ColoursScaleAndHeightsTruncateTowardZero) {
    PixelColour c{200, 100, 2, 1};
    scaleColour(c, 1.5f);
    EXPECT_EQ(c.red, 255);
    EXPECT_EQ(c.green, 150);
    EXPECT_EQ(c.blue, 3);
    c = PixelColour{200, 101, 1, 1};
    scaleColour(c, 0.5f);
    EXPECT_EQ(c.red, 100);
    EXPECT_EQ(c.green, 50);
    EXPECT_EQ(c.blue, 0);
    c = PixelColour{2, 0, 0, 1};
    scaleColour(c, -1.0f);
    EXPECT_EQ(c.red, 254); // the low 8 bits of -2

    TempFolder tmp;
    BitmapPlan spec;
    spec.width = 2;
    spec.height = 2;
    // Corner (1, 1) averages -1, -1, -1 and +1 cm: -0.5 cm.
    spec.pixel = [](std::int32_t x, std::int32_t y) { return x == 1 && y == 1 ? 10001 : 9999; };
    writeBytes(tmp.file("h.bmp"), makeBitmap(spec));
    BitmapHeightSource heights(tmp.file("h.bmp"), 100);
    writeBytes(tmp.file("f.bmp"), makeBitmap(spec));
    ColourBitmap colours(tmp.file("f.bmp"), 100);
    MeshModel m;
    fillTileMesh(settingsOf("[Terrain1]\nVerschiebung=0\n"), m, colours, heights,
                 TileRect{1, 1, 1, 1, 1, 1});
    EXPECT_EQ(heights.heightAt(1, 1), -0.5);
    EXPECT_EQ(m.parts[0].vertices[0].position[2], 0);
}

TEST_F(Generator, WritesOneModelPerTileAndTheirLayout) {
    writeRasters(tmp, 100, 60);
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    EXPECT_EQ(generateTiles(settingsOf(kGrid100x60), tmp.file("Gen.anl"),
                            [&](std::int64_t k, std::int64_t n) { progress.emplace_back(k, n); }),
              1);
    EXPECT_TRUE(capture.messages.empty());
    ASSERT_EQ(progress.size(), 15u);
    EXPECT_EQ(progress.back(), std::make_pair(std::int64_t{15}, std::int64_t{15}));
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_TRUE(
                fileExists(model("bmp" + std::to_string(i) + "_" + std::to_string(j) + ".mod")));
    // Tile (0, 0) covers 31 x 31 grid points.
    EXPECT_EQ(readBytes(model("bmp0_0.mod")).size(), 217u + 50 * 961 + 40 * 900);

    Layout layout;
    ASSERT_EQ(layout.load(tmp.file("Gen.anl")), LoadResult::Loaded);
    ASSERT_EQ(layout.objectCount(), 15);
    const ObjectRecord& first = layout.objects[0];
    EXPECT_EQ(first.id, 1);
    EXPECT_EQ(first.path, "Berge\\bmp0_0");
    EXPECT_EQ(first.position.x, -40000);
    EXPECT_EQ(first.position.y, -20000);
    EXPECT_EQ(first.position.z, -100);
    EXPECT_EQ(layout.objects[1].path, "Berge\\bmp0_1");
    EXPECT_EQ(layout.objects[3].path, "Berge\\bmp1_0");
    EXPECT_EQ(layout.objects[14].id, 15);
    EXPECT_EQ(layout.objects[14].position.x, 40000);
    EXPECT_EQ(layout.objects[14].position.y, 20000);
    EXPECT_EQ(first.direction.x, 1.0f);
    EXPECT_EQ(first.param1, 100);
    EXPECT_EQ(layout.properties.colourA[0], 204);
    EXPECT_EQ(layout.properties.colourA[1], 230);
    EXPECT_EQ(layout.properties.colourA[2], 255);
    CameraRecord standard;
    standard.setDefault();
    EXPECT_EQ(layout.cameras[4].position.z, standard.position.z);
}

TEST_F(Generator, ModelsGoUnderTheHostFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "the registry lookup is checked by its own Wine test";
#else
    writeRasters(tmp, 40, 40);
    // A host folder that is not there is a typing error: no tree is made.
    setenv("ZUMT_HOST_DIR", (tmp.path() / "Zumt").string().c_str(), 1);
    EXPECT_EQ(generateTiles(settingsOf(kGrid100x60), std::nullopt), 0);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Zumt-Ordner " + tmp.file("Zumt/") + " nicht gefunden!\n"});
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "Zumt"));
    std::filesystem::create_directory(tmp.path() / "Zumt");
    EXPECT_EQ(generateTiles(settingsOf(kGrid100x60), std::nullopt), 1);
    unsetenv("ZUMT_HOST_DIR");
    EXPECT_TRUE(fileExists((tmp.path() / "Zumt" / "Modelle" / "Berge" / "bmp1_1.mod").string()));
    EXPECT_FALSE(fileExists(tmp.file("Gen.anl")));
#endif
}

TEST_F(Generator, EveryCheckInItsOrder) {
    writeRasters(tmp, 100, 60);
    BitmapPlan other;
    other.width = 99;
    other.height = 60;
    other.pixel = [](std::int32_t, std::int32_t) { return 0; };
    writeBytes(tmp.file("klein.bmp"), makeBitmap(other));
    other.width = other.height = 200;
    writeBytes(tmp.file("gross_h.bmp"), makeBitmap(other));
    writeBytes(tmp.file("gross_f.bmp"), makeBitmap(other));
    struct Case {
        const char* settings;
        const char* message;
    } cases[] = {
        {"[Terrain1]\nFarbe=farbe.bmp\nName=B\n", "[Terrain1]:Hoehe muss gesetzt sein!\n"},
        {"[Terrain1]\nHoehe=x.ter\nName=B\n", "[Terrain1]:Farbe muss gesetzt sein!\n"},
        {"[Terrain1]\nHoehe=hoehe\nFarbe=x.bmp\n", "Falscher Dateityp fuer Hoehe: hoehe!\n"},
        {"[Terrain1]\nHoehe=hoehe.BMP\nFarbe=x.bmp\n",
         "Falscher Dateityp fuer Hoehe: hoehe.BMP!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=x.bmp\nPixelgroesse=0.004\n",
         "Bitte Pixelgroesse angeben!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.png\nPixelgroesse=10\n",
         "Falscher Dateityp fuer farbe: farbe.png!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=klein.bmp\nPixelgroesse=10\nName=B\n",
         "Groessen stimmen nicht überein!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\n",
         "[Terrain1]:Name muss gesetzt sein!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=\n",
         "[Terrain1]:Name muss gesetzt sein!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=..\\B\n",
         "[Terrain1]:Name muss ein einfacher Ordnername sein: ..\\B!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=/tmp/B\n",
         "[Terrain1]:Name muss ein einfacher Ordnername sein: /tmp/B!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=C:B\n",
         "[Terrain1]:Name muss ein einfacher Ordnername sein: C:B!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=-10\nName=B\n",
         "Pixelgroesse muss groesser als 0 sein: -1000 cm!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=B\n"
         "Kachelabstand=5\n",
         "Kachelabstand muss mindestens eine Pixelgroesse (10.00 m) sein!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=B\n"
         "Kachelgroesse=-400\n",
         "Kachelgroesse darf nicht negativ sein!\n"},
        // A 200 x 200 grid of 1 m: 400 m tiles every 20 m are far too large.
        {"[Terrain1]\nHoehe=gross_h.bmp\nFarbe=gross_f.bmp\nPixelgroesse=1\nName=B\n"
         "Kachelabstand=20\n",
         "Kacheln zu gross fuer das Modellformat! Kachelgroesse hoechstens 80.00 m!\n"},
        // A 2 cm grid and tiles of 20000 km: answered at once, not step by step.
        {"[Terrain1]\nHoehe=gross_h.bmp\nFarbe=gross_f.bmp\nPixelgroesse=0.02\nName=B\n"
         "Kachelabstand=1\nKachelgroesse=20000000\n",
         "Kacheln zu gross fuer das Modellformat! Kachelgroesse hoechstens 1.60 m!\n"},
        // No tile would fit into the 600 m of the grid.
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=B\n"
         "Kachelabstand=700\n",
         "Keine Kachel: Kachelabstand groesser als das Gelaende!\n"},
        // Heights that neither the models nor the layout can hold.
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=B\nFaktor=inf\n",
         "Faktor und Verschiebung muessen Zahlen sein!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\nName=B\n"
         "Verschiebung=-30000000\n",
         "Hoehen ausserhalb des Bereichs der Anlage!\n"},
        // A tile at every grid point of 200 x 200.
        {"[Terrain1]\nHoehe=gross_h.bmp\nFarbe=gross_f.bmp\nPixelgroesse=0.01\nName=B\n"
         "Kachelabstand=0.01\nKachelgroesse=0\n",
         "Zu viele Kacheln: 40000 (hoechstens 32767)!\n"},
    };
    writeText(tmp.file("Gen.anl"), "alt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        capture.reset();
        EXPECT_EQ(generateTiles(settingsOf(c.settings), tmp.file("Gen.anl")), 0);
        EXPECT_EQ(capture.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(readText(tmp.file("Gen.anl")), "alt");
        EXPECT_FALSE(std::filesystem::exists(tmp.path() / "B"));
    }
}

// A small run whose every output file is kept under tests/data/generator:
// the native build and the Windows build (under Wine) must both write
// exactly these bytes. ZUMT_UPDATE_GOLDEN=1 writes them anew.
TEST_F(Generator, OutputIsTheSameOnEveryBuild) {
    BitmapPlan heights(12, 8);
    heights.pixel = [](std::int32_t x, std::int32_t y) { return 10000 + 37 * x - 11 * y * y; };
    writeBytes(tmp.file("hoehe.bmp"), makeBitmap(heights));
    BitmapPlan colours(12, 8);
    colours.pixel = [](std::int32_t x, std::int32_t y) {
        return (x * 20 << 16) | (y * 30 << 8) | 77;
    };
    writeBytes(tmp.file("farbe.bmp"), makeBitmap(colours));
    EXPECT_EQ(generateTiles(settingsOf("[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nName=Berge\n"
                                       "Pixelgroesse=2.5\nKachelgroesse=10\nKachelabstand=7.5\n"
                                       "Faktor=1.5\nRGBFaktor=1.2\n"),
                            tmp.file("Gen.anl")),
              1);
    ASSERT_TRUE(capture.messages.empty());
    std::vector<std::string> outputs = {"Gen.anl"};
    for (const auto& e : std::filesystem::directory_iterator(tmp.path() / "Berge"))
        outputs.push_back("Berge/" + e.path().filename().string());
    std::sort(outputs.begin(), outputs.end());
    // Tiles every 3 grid steps: 4 columns and 2 rows of them.
    ASSERT_EQ(outputs.size(), 9u);
    EXPECT_EQ(outputs[7], "Berge/bmp3_1.mod");
    const bool update = std::getenv("ZUMT_UPDATE_GOLDEN") != nullptr;
    for (const std::string& name : outputs) {
        SCOPED_TRACE(name);
        std::string golden = testDataFile("generator/" + name);
        std::vector<std::uint8_t> written = readBytes(tmp.file(name));
        if (update) {
            std::filesystem::create_directories(std::filesystem::path(golden).parent_path());
            writeBytes(golden, written);
        }
        EXPECT_EQ(written, readBytes(golden));
    }
}

// The first model that cannot be written stops the run with one message
// (a full disk would fail every further tile) and leaves the layout alone.
TEST_F(Generator, AFailedModelStopsTheRunWithOneMessage) {
    writeRasters(tmp, 100, 60);
    GenerationOutcome outcome;
    EXPECT_EQ(generateTiles(settingsOf(kGrid100x60), tmp.file("Gen.anl"), {}, &outcome), 1);
    EXPECT_TRUE(outcome.complete());
    const std::vector<std::uint8_t> tiles = readBytes(tmp.file("Gen.anl"));

    setWriteFaultForTesting(WriteFault::DiskFull, 10);
    EXPECT_EQ(generateTiles(settingsOf(kGrid100x60), tmp.file("Gen.anl"), {}, &outcome), 0);
    EXPECT_EQ(outcome.modelsFailed, 15);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Fehler beim Schreiben von Berge\\bmp0_0.mod!\n"
                                       "15 von 15 Kacheln nicht geschrieben.\n"});
    EXPECT_EQ(readBytes(tmp.file("Gen.anl")), tiles);
}

// A layout that holds anything but this model folder's tiles, or does not
// even load, is kept as "<name>.bak" before it is replaced; replacing a
// layout of tiles leaves an earlier backup alone.
TEST_F(Generator, TheUsersLayoutIsBackedUpFirst) {
    writeRasters(tmp, 100, 60);
    auto layoutOf = [](const char* path) {
        Layout layout;
        layout.objects.resize(1);
        layout.objects[0].id = 1;
        layout.objects[0].path = path;
        std::vector<std::uint8_t> image;
        layout.writeImage(image);
        return image;
    };
    const std::pair<std::vector<std::uint8_t>, bool> cases[] = {
        {layoutOf("Baum"), true},
        {layoutOf("Berge\\bmp0_0"), false}, // a tile as we write it
        {layoutOf("Andere\\bmp0_0"), true},
        {{'a', 'l', 't'}, true}, // not a layout at all
    };
    const std::string bak = tmp.file("Gen.anl.bak");
    for (const auto& [old, backedUp] : cases) {
        SCOPED_TRACE(std::string(old.begin(), old.end()));
        writeBytes(tmp.file("Gen.anl"), old);
        writeText(bak, "frueher");
        GenerationOutcome outcome;
        EXPECT_EQ(generateTiles(settingsOf(kGrid100x60), tmp.file("Gen.anl"), {}, &outcome), 1);
        EXPECT_EQ(readText(bak), backedUp ? std::string(old.begin(), old.end()) : "frueher");
        EXPECT_EQ(outcome.backupPath, backedUp ? std::optional<std::string>(bak) : std::nullopt);
    }
    // The old layout was looked at quietly: its faults are not the user's now.
    EXPECT_TRUE(capture.messages.empty());
}
