#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "generator/tile_pool.h"
#include "layout/layout.h"
#include "platform/platform.h"
#include "raster/height_file.h"
#include "raster/job_forecast.h"
#include "tests/raster/raster_test_files.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A height bitmap whose pixel (x, y) holds the height 10 x + y cm.
void writeRasters(const TempFolder& tmp, std::int32_t w, std::int32_t h) {
    writeTerrainFiles(tmp, w, h, [](std::int32_t x, std::int32_t y) { return 10 * x + y; });
}

// The [Terrain1] values of a ".danl" text, as the program's entry reads them.
TerrainValues terrainOf(const std::string& text) {
    SettingsFile s;
    s.parse(text);
    return readTerrainValues(s);
}

const char* const Grid100x60 = "[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nName=Berge\n"
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

// What each tile holds, and the layout of them, rest on the golden run below.
TEST_F(Generator, ReportsProgressPerTileAndWritesLoneVertexTiles) {
    writeRasters(tmp, 100, 60);
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
    EXPECT_EQ(generateTiles(terrainOf(Grid100x60), tmp.file("Gen.anl"),
                            [&](std::int64_t k, std::int64_t n) { progress.emplace_back(k, n); }),
              1);
    EXPECT_TRUE(capture.messages.empty());
    // In tile order, whatever order the workers finish in.
    std::vector<std::pair<std::int64_t, std::int64_t>> inOrder;
    for (std::int64_t k = 1; k <= 15; ++k)
        inOrder.emplace_back(k, 15);
    EXPECT_EQ(progress, inOrder);
    EXPECT_TRUE(fileExists(model("bmp4_2.mod")));
    // A tile of size 0 is one vertex without faces: its index and format
    // sections (with the group markers) are still written.
    EXPECT_EQ(generateTiles(terrainOf(std::string(Grid100x60) + "Kachelgroesse=0\n"),
                            tmp.file("Gen.anl")),
              1);
    EXPECT_EQ(readBytes(model("bmp0_0.mod")).size(), 267u);
}

TEST_F(Generator, ModelsGoUnderTheHostFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "the registry lookup is checked by its own Wine test";
#else
    writeRasters(tmp, 40, 40);
    // A host folder that is not there is a typing error: no tree is made.
    setenv("ZUMT_HOST_DIR", (tmp.path() / "Zumt").string().c_str(), 1);
    EXPECT_EQ(generateTiles(terrainOf(Grid100x60), std::nullopt), 0);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Zumt-Ordner " + tmp.file("Zumt/") + " nicht gefunden!\n"});
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "Zumt"));
    std::filesystem::create_directory(tmp.path() / "Zumt");
    EXPECT_EQ(generateTiles(terrainOf(Grid100x60), std::nullopt), 1);
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
    // Settings that start with a section are whole; the others follow these.
    const std::string base = "[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=10\n";
    struct Case {
        const char* settings;
        const char* message;
    } cases[] = {
        {"[Terrain1]\nFarbe=farbe.bmp\nName=B\n", "[Terrain1]:Hoehe muss gesetzt sein!\n"},
        {"[Terrain1]\nHoehe=x.ter\nName=B\n", "[Terrain1]:Farbe muss gesetzt sein!\n"},
        {"[Terrain1]\nHoehe=hoehe\nFarbe=x.bmp\n", "Falscher Dateityp fuer Hoehe: hoehe!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=x.bmp\nPixelgroesse=0.004\n",
         "Bitte Pixelgroesse angeben!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.png\nPixelgroesse=10\n",
         "Falscher Dateityp fuer farbe: farbe.png!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=klein.bmp\nPixelgroesse=10\nName=B\n",
         "Groessen stimmen nicht überein!\n"},
        // A colour bitmap that cannot be read is no bitmap of another size.
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=fehlt.bmp\nPixelgroesse=10\nName=B\n",
         "Can't open fehlt.bmp!\n"},
        {"", "[Terrain1]:Name muss gesetzt sein!\n"},
        {"Name=\n", "[Terrain1]:Name muss gesetzt sein!\n"},
        {"Name=..\\B\n", "[Terrain1]:Name muss ein einfacher Ordnername sein: ..\\B!\n"},
        {"Name=/tmp/B\n", "[Terrain1]:Name muss ein einfacher Ordnername sein: /tmp/B!\n"},
        {"Name=C:B\n", "[Terrain1]:Name muss ein einfacher Ordnername sein: C:B!\n"},
        {"[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nPixelgroesse=-10\nName=B\n",
         "Pixelgroesse muss groesser als 0 sein: -1000 cm!\n"},
        {"Name=B\nKachelabstand=5\n",
         "Kachelabstand muss mindestens eine Pixelgroesse (10.00 m) sein!\n"},
        {"Name=B\nKachelgroesse=-400\n", "Kachelgroesse darf nicht negativ sein!\n"},
        // A 200 x 200 grid of 1 m: 400 m tiles every 20 m are far too large.
        {"[Terrain1]\nHoehe=gross_h.bmp\nFarbe=gross_f.bmp\nPixelgroesse=1\nName=B\n"
         "Kachelabstand=20\n",
         "Kacheln zu gross fuer das Modellformat! Kachelgroesse hoechstens 80.00 m!\n"},
        // A 2 cm grid and tiles of 20000 km: answered at once, not step by step.
        {"[Terrain1]\nHoehe=gross_h.bmp\nFarbe=gross_f.bmp\nPixelgroesse=0.02\nName=B\n"
         "Kachelabstand=1\nKachelgroesse=20000000\n",
         "Kacheln zu gross fuer das Modellformat! Kachelgroesse hoechstens 1.60 m!\n"},
        // No tile would fit into the 600 m of the grid.
        {"Name=B\nKachelabstand=700\n", "Keine Kachel: Kachelabstand groesser als das Gelaende!\n"},
        // Heights that neither the models nor the layout can hold.
        {"Name=B\nFaktor=inf\n", "Faktor und Verschiebung muessen Zahlen sein!\n"},
        {"Name=B\nVerschiebung=-30000000\n", "Hoehen ausserhalb des Bereichs der Anlage!\n"},
        // A tile at every grid point of 200 x 200.
        {"[Terrain1]\nHoehe=gross_h.bmp\nFarbe=gross_f.bmp\nPixelgroesse=0.01\nName=B\n"
         "Kachelabstand=0.01\nKachelgroesse=0\n",
         "Zu viele Kacheln: 40000 (hoechstens 32767)!\n"},
    };
    writeText(tmp.file("Gen.anl"), "alt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        capture.reset();
        const std::string settings = c.settings[0] == '[' ? c.settings : base + c.settings;
        EXPECT_EQ(generateTiles(terrainOf(settings), tmp.file("Gen.anl")), 0);
        EXPECT_EQ(capture.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(readText(tmp.file("Gen.anl")), "alt");
        EXPECT_FALSE(std::filesystem::exists(tmp.path() / "B"));
    }
}

// A small run whose every output file is kept under tests/data/generator:
// the native build and the Windows build (under Wine) must both write
// exactly these bytes. ZUMT_UPDATE_GOLDEN=1 writes them anew.
TEST_F(Generator, OutputIsTheSameOnEveryBuild) {
    writeTerrainFiles(
        tmp, 12, 8, [](std::int32_t x, std::int32_t y) { return 37 * x - 11 * y * y; },
        [](std::int32_t x, std::int32_t y) { return (x * 20 << 16) | (y * 30 << 8) | 77; });
    // One worker or several: the same files, byte for byte.
    for (unsigned workers : {1u, 3u}) {
        SCOPED_TRACE(workers);
        std::filesystem::remove_all(tmp.path() / "Berge");
        setTileWorkersForTesting(workers);
        EXPECT_EQ(
            generateTiles(terrainOf("[Terrain1]\nHoehe=hoehe.bmp\nFarbe=farbe.bmp\nName=Berge\n"
                                    "Pixelgroesse=2.5\nKachelgroesse=10\nKachelabstand=7.5\n"
                                    "Faktor=1.5\nRGBFaktor=1.2\n"),
                          tmp.file("Gen.anl")),
            1);
        setTileWorkersForTesting(0);
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
}

// The forecast the programs print before a run is what the run writes, also
// where the tiles at the edges are cut off.
TEST_F(Generator, WritesWhatTheForecastSays) {
    for (auto [w, h] : {std::pair{100, 60}, std::pair{97, 61}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        writeRasters(tmp, w, h);
        std::filesystem::remove_all(tmp.path() / "Berge");
        const TerrainValues terrain =
            terrainOf(std::string(Grid100x60) + "Kachelgroesse=170\nKachelabstand=90\n");
        const std::unique_ptr<HeightSource> heights = openHeightSource(terrain);
        const JobForecast forecast = forecastJob(*tilingOf(terrain, *heights), heights->pixelSize);
        ASSERT_EQ(generateTiles(terrain, tmp.file("Gen.anl")), 1);
        std::int64_t models = 0;
        std::uint64_t bytes = 0;
        for (const auto& e : std::filesystem::directory_iterator(tmp.path() / "Berge")) {
            ++models;
            bytes += e.file_size();
        }
        EXPECT_EQ(models, forecast.tiles);
        EXPECT_EQ(bytes, forecast.modelBytes);
        EXPECT_DOUBLE_EQ(forecast.areaKm2, w * 10.0 * h * 10.0 / 1e6);
    }
    EXPECT_EQ(forecastText({2401, 1'412'345'678, 4.0}), "2401 Kacheln, 1.4 GB Modelle, 4.00 km2");
    EXPECT_EQ(bytesText(372'400'000), "372 MB");
}

// The first model that cannot be written stops the run with one message
// (a full disk would fail every further tile) and leaves the layout alone.
TEST_F(Generator, AFailedModelStopsTheRunWithOneMessage) {
    writeRasters(tmp, 100, 60);
    GenerationOutcome outcome;
    EXPECT_EQ(generateTiles(terrainOf(Grid100x60), tmp.file("Gen.anl"), {}, &outcome), 1);
    EXPECT_TRUE(outcome.complete());
    const std::vector<std::uint8_t> tiles = readBytes(tmp.file("Gen.anl"));

    setWriteFaultForTesting(WriteFault::DiskFull, 10);
    EXPECT_EQ(generateTiles(terrainOf(Grid100x60), tmp.file("Gen.anl"), {}, &outcome), 0);
    EXPECT_EQ(outcome.modelsFailed, 15);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Fehler beim Schreiben von Berge\\bmp0_0.mod!\n"
                                       "15 von 15 Kacheln nicht geschrieben.\n"});
    EXPECT_EQ(readBytes(tmp.file("Gen.anl")), tiles);

    // In the middle of a run, with workers building ahead: the tiles before
    // the one that fails are written, none after it, and nothing is left.
    std::filesystem::remove_all(tmp.path() / "Berge");
    std::filesystem::create_directories(tmp.path() / "Berge" / "bmp2_1.mod");
    capture.reset();
    setTileWorkersForTesting(4);
    EXPECT_EQ(generateTiles(terrainOf(Grid100x60), tmp.file("Gen.anl"), {}, &outcome), 0);
    setTileWorkersForTesting(0);
    EXPECT_EQ(outcome.modelsFailed, 8);
    EXPECT_EQ(capture.messages,
              std::vector<std::string>{"Fehler beim Schreiben von Berge\\bmp2_1.mod!\n"
                                       "8 von 15 Kacheln nicht geschrieben.\n"});
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(tmp.path() / "Berge"))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"bmp0_0.mod", "bmp0_1.mod", "bmp0_2.mod", "bmp1_0.mod",
                                        "bmp1_1.mod", "bmp1_2.mod", "bmp2_0.mod", "bmp2_1.mod"}));
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
        EXPECT_EQ(generateTiles(terrainOf(Grid100x60), tmp.file("Gen.anl"), {}, &outcome), 1);
        EXPECT_EQ(readText(bak), backedUp ? std::string(old.begin(), old.end()) : "frueher");
        EXPECT_EQ(outcome.backupPath, backedUp ? std::optional<std::string>(bak) : std::nullopt);
    }
    // The old layout was looked at quietly: its faults are not the user's now.
    EXPECT_TRUE(capture.messages.empty());
}
