#include "dgm/dgm_program.h"

#include "common/command_line.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "dgm/colour_picture.h"
#include "dgm/elevation_grid.h"
#include "dgm/terrain_grid.h"
#include "dgm/terrain_writer.h"
#include "generator/mesh_model.h"
#include "platform/platform.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

// Counts for the printf family: MinGW's C library does not know "%zu".
unsigned long long count(std::size_t n) {
    return n;
}

const char* const Usage =
    "Aufruf: zumt_dgm [Optionen] EINGABE... [-o Gelaende.ter]\n"
    "\n"
    "Wandelt Hoehendaten in ein Gelaende (.ter) fuer gen_zumt_ter, zumt_hoehen\n"
    "und zumt_vorschau. Eingaben: GeoTIFF (.tif), ESRI-ASCII-Raster (.asc),\n"
    "XYZ-Punkte (.xyz, .txt, .csv), SRTM (.hgt); mehrere aneinander grenzende\n"
    "Kacheln werden zusammengesetzt, Luecken gefuellt.\n"
    "\n"
    "  -o DATEI.ter              das Gelaende (sonst neben der ersten Eingabe)\n"
    "  --ausschnitt X1 Y1 X2 Y2  nur dieses Gebiet, in den Koordinaten der Eingaben\n"
    "  --raster M                Rasterweite in Metern (sonst die der Eingaben)\n"
    "  --farbe BILD              Luftbild (PNG, JPEG, BMP, TIFF; mit Georeferenz\n"
    "                            oder Worlddatei eingepasst, sonst gestreckt):\n"
    "                            schreibt DATEI_farbe.bmp; mehrfach moeglich\n"
    "  --anlage X.danl           traegt Gelaende, Farbe und Kachelgroesse in\n"
    "                            [Terrain1] dieser Einstellungsdatei ein\n"
    "  -q                        ohne Fortschritt und Zusammenfassung\n"
    "  -h, --help                diese Hilfe\n"
    "  --version                 Programmversion\n"
    "\n"
    "Ohne Optionen (Dateien auf zumt_dgm.exe gezogen): Bilder werden zur Farbe,\n"
    "eine .danl zur Anlage, das Gelaende kommt neben die erste Hoehendatei.\n";

struct Options {
    std::vector<std::string> inputs;
    std::vector<std::string> pictures;
    std::string output;
    std::string settingsFile;
    std::optional<Area> cut;
    double stepMetres = 0.0; // 0 = from the inputs
    bool quiet = false;
};

// The extension as the other programs see it (common/paths.h), in any case.
std::string lowerExtension(const std::string& path) {
    std::string ext = extensionOf(path).value_or("");
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool isPictureName(const std::string& path) {
    const std::string ext = lowerExtension(path);
    return ext == ".png" || ext == ".jpg" || ext == ".jpeg" || ext == ".bmp";
}

bool parseNumber(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

enum class Parse { Run, Help, Version, Failed };

Parse parseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        switch (standardOption(arg)) {
        case StandardOption::Help:
            return Parse::Help;
        case StandardOption::Version:
            return Parse::Version;
        case StandardOption::Quiet:
            o.quiet = true;
            continue;
        case StandardOption::None:
            break;
        }
        auto need = [&](int n) {
            if (i + n < argc) return true;
            report("Option %s braucht %d Wert%s!\n", arg.c_str(), n, n == 1 ? "" : "e");
            return false;
        };
        auto number = [&](double& out) {
            if (parseNumber(argv[++i], out)) return true;
            report("Keine Zahl fuer %s: %s!\n", arg.c_str(), argv[i]);
            return false;
        };
        if (arg == "-o") {
            if (!need(1)) return Parse::Failed;
            o.output = argv[++i];
        } else if (arg == "--farbe") {
            if (!need(1)) return Parse::Failed;
            o.pictures.push_back(argv[++i]);
        } else if (arg == "--anlage") {
            if (!need(1)) return Parse::Failed;
            o.settingsFile = argv[++i];
        } else if (arg == "--raster") {
            if (!need(1) || !number(o.stepMetres)) return Parse::Failed;
            if (!(o.stepMetres >= 0.01))
                return report("Rasterweite muss mindestens 0.01 m sein!\n"), Parse::Failed;
        } else if (arg == "--ausschnitt") {
            Area a;
            if (!need(4) || !number(a.x1) || !number(a.y1) || !number(a.x2) || !number(a.y2))
                return Parse::Failed;
            if (a.x1 == a.x2 || a.y1 == a.y2)
                return report("Ausschnitt ohne Flaeche!\n"), Parse::Failed;
            o.cut = a;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return report("Unbekannte Option: %s!\n", arg.c_str()), Parse::Failed;
        } else if (lowerExtension(arg) == ".danl") {
            o.settingsFile = arg;
        } else if (isPictureName(arg)) {
            o.pictures.push_back(arg);
        } else {
            o.inputs.push_back(arg);
        }
    }
    if (o.inputs.empty()) return report("Keine Hoehendatei angegeben!\n"), Parse::Failed;
    if (o.output.empty()) {
        const std::string& first = o.inputs.front();
        const std::size_t dot = first.rfind('.');
        std::size_t cut = first.size();
        if (dot != std::string::npos) {
            cut = dot;
            for (std::size_t k = dot; k < first.size(); ++k)
                if (isFolderSeparator(first[k])) cut = first.size();
        }
        o.output = first.substr(0, cut) + ".ter";
    }
    // The other programs take a terrain only by this extension, exactly.
    if (o.output.size() < 4 || o.output.compare(o.output.size() - 4, 4, ".ter") != 0)
        return report("Falscher Dateityp: %s!\n", o.output.c_str()), Parse::Failed;
    if (!o.settingsFile.empty() &&
        (o.settingsFile.size() < 5 ||
         o.settingsFile.compare(o.settingsFile.size() - 5, 5, ".danl") != 0))
        return report("Falscher Dateityp: %s!\n", o.settingsFile.c_str()), Parse::Failed;
    return Parse::Run;
}

std::string baseName(const std::string& path) {
    return splitPath(path).name;
}

// The folder as written, separator included: "a\x" and "a/x" lie in folders
// written differently.
std::string folderOf(const std::string& path) {
    const std::string name = baseName(path);
    return path.substr(0, path.size() - name.size());
}

// Metres of a length in whole centimetres, as the generator reads it back:
// it truncates value × 100, so "3.19" would come back as 318 cm. Half a
// centimetre more keeps such a value on the right side.
std::string metresText(std::int32_t cm) {
    std::string text = formatText("%.2f", cm / 100.0);
    if (truncToInt32(textToReal(text) * 100.0) != cm) text = formatText("%.3f", (cm + 0.5) / 100.0);
    return text;
}

// The summary lines, printed at the end unless -q.
struct Summary {
    std::vector<std::string> lines;
    std::vector<std::string> written;
    void add(const char* label, const std::string& text) {
        lines.push_back(formatText("%-13s%s", label, text.c_str()));
    }
};

void warn(Summary& summary, const std::string& text) {
    // Warnings are no failures: they go to the console (also with -q) and
    // into the summary, not into a message box that stops the run.
    std::fprintf(stderr, "Warnung: %s\n", text.c_str());
    summary.add("Warnung:", text);
}

int run(const Options& o, Summary& summary) {
    ProgressLine progress(o.quiet);

    SettingsFile settings;
    if (!o.settingsFile.empty()) {
        // A new settings file is fine; one that is there but cannot be read
        // must not be replaced by our few keys.
        std::vector<std::uint8_t> old;
        std::error_code ec;
        if (readWholeFile(o.settingsFile, old))
            settings.parse(std::string_view(reinterpret_cast<const char*>(old.data()), old.size()));
        else if (std::filesystem::exists(osPath(o.settingsFile), ec) || ec)
            return report("Can't open %s!\n", o.settingsFile.c_str()), 1;
    }

    // Each input goes into the mosaic as soon as it is read and is freed.
    Mosaic mosaic(o.cut);
    for (std::size_t k = 0; k < o.inputs.size(); ++k) {
        const std::string& path = o.inputs[k];
        progress.show(formatText("Lese %llu/%llu: %s", count(k + 1), count(o.inputs.size()),
                                 baseName(path).c_str()));
        ElevationGrid grid;
        if (!readElevationFile(path, grid) || !mosaic.add(grid, path)) {
            progress.done();
            return 1;
        }
    }
    progress.show("Fuelle Luecken");
    RowGrid grid = mosaic.take();
    if (grid.empty()) {
        progress.done();
        return report("Keine Hoehen im Ausschnitt!\n"), 1;
    }
    const long long filled = fillHoles(grid);
    if (filled < 0) {
        progress.done();
        return report("Keine gueltigen Hoehen in den Eingaben!\n"), 1;
    }
    const bool degrees = grid.geographic;
    const int epsg = grid.epsg;
    const MetricFrame frame = metricFrameFor(grid);
    const std::int32_t stepCm =
        o.stepMetres > 0.0
            ? static_cast<std::int32_t>(std::min(std::round(o.stepMetres * 100.0), 1e9))
            : naturalStepCm(grid, frame);
    const double step = stepCm / 100.0;
    if (degrees)
        summary.add("Grad:", formatText("in Meter umgerechnet um %.6f N, %.6f E "
                                        "(1 Grad = %.1f m Ost-West, %.1f m Nord-Sued)",
                                        frame.lat0, frame.lon0, frame.metresPerDegreeX,
                                        frame.metresPerDegreeY));

    progress.show("Raster");
    grid = resampleToMetric(std::move(grid), frame, step);
    progress.done();
    if (grid.columns < 2 || grid.rowCount() < 2)
        return report("Zu wenige Punkte fuer ein Gelaende: %llu x %llu!\n", count(grid.columns),
                      count(grid.rowCount())),
               1;
    if (grid.columns > MaxTerrainSide || grid.rowCount() > MaxTerrainSide)
        return report("Gelaende zu gross: %llu x %llu Punkte (hoechstens %llu je Seite)!\n",
                      count(grid.columns), count(grid.rowCount()), count(MaxTerrainSide)),
               1;

    TerrainPlace place{grid.columns, grid.rowCount(), grid.west, grid.north, step, frame};
    const double south = grid.north - static_cast<double>(grid.rowCount() - 1) * step;
    const HeightRange range = heightRange(grid);
    summary.add("Gitter:", formatText("%llu x %llu Punkte, Raster %.2f m", count(grid.columns),
                                      count(grid.rowCount()), step));
    summary.add("Ausdehnung:", formatText("%.2f m x %.2f m, Suedwestecke %.6f %.6f%s",
                                          static_cast<double>(grid.columns - 1) * step,
                                          static_cast<double>(grid.rowCount() - 1) * step,
                                          frame.toInputX(grid.west), frame.toInputY(south),
                                          epsg ? formatText(" (EPSG %d)", epsg).c_str() : ""));
    summary.add("Hoehen:", formatText("%.2f m bis %.2f m", range.low, range.high));
    summary.add("Gefuellt:", formatText("%lld Punkte ohne Daten", filled));
    if (range.low < -500.0 || range.high > 9000.0)
        warn(summary, formatText("Hoehen von %.2f m bis %.2f m liegen ausserhalb von -500 m bis "
                                 "9000 m - sind es wirklich Hoehen in Metern?",
                                 range.low, range.high));

    {
        std::vector<std::uint8_t> bytes = encodeTerrain(std::move(grid), stepCm);
        // The terrain and its colours are made again from the data by the
        // next run: like the generator's models they skip the wait for the
        // disk (a second for a large terrain); the move still never shows a
        // half-written file. The settings file is the user's and is flushed.
        if (!writeFileSafely(o.output, bytes, Durability::Replaceable)) return 1;
        summary.written.push_back(o.output);
    }

    std::string colourFile;
    if (!o.pictures.empty()) {
        colourFile = o.output.substr(0, o.output.size() - 4) + "_farbe.bmp";
        // A bitmap's sizes are 32 bits: refuse before the canvas is made.
        const double bitmapBytes =
            (static_cast<double>(place.columns - 1) * 3 + 3) * static_cast<double>(place.rows - 1);
        if (bitmapBytes > 4.0e9)
            return report("Farbbild zu gross: %llu x %llu!\n", count(place.columns - 1),
                          count(place.rows - 1)),
                   1;
        ColourCanvas canvas = canvasFor(place);
        for (const std::string& path : o.pictures) {
            PlacedPicture picture;
            if (!readPlacedPicture(path, picture)) return 1;
            if (picture.placement.known &&
                ((picture.placement.epsg != 0 && epsg != 0 && picture.placement.epsg != epsg) ||
                 (picture.placement.epsg != 0 && picture.placement.geographic != degrees)))
                return report("%s passt nicht zu den Hoehen (anderes Koordinatensystem)!\n",
                              path.c_str()),
                       1;
            if (paintPicture(canvas, place, picture) == 0)
                warn(summary, formatText("%s liegt ausserhalb des Gelaendes.", path.c_str()));
        }
        std::vector<std::uint8_t> bytes = encodeBitmap(canvas);
        canvas = ColourCanvas{};
        if (!writeFileSafely(colourFile, bytes, Durability::Replaceable)) return 1;
        summary.written.push_back(colourFile);
    }

    if (!o.settingsFile.empty()) {
        TerrainSettings t;
        t.heightFile = nameForSettings(o.output, o.settingsFile);
        if (!colourFile.empty()) t.colourFile = nameForSettings(colourFile, o.settingsFile);
        const std::string name = baseName(o.output);
        t.modelName = name.substr(0, name.size() - 4);
        t.stepCm = stepCm;
        t.east = frame.toInputX(place.west);
        t.north = frame.toInputY(south);
        t.degrees = degrees;
        t.epsg = epsg;
        applyTerrainSettings(settings, t);
        if (!settings.write(o.settingsFile)) return 1;
        summary.written.push_back(o.settingsFile);
    }
    return 0;
}

} // namespace

std::int32_t largestTileSteps(std::int32_t stepCm) {
    std::int32_t half = stepCm > 0 ? 20000 / stepCm : 0;
    while (half > 1 && !quadGridFitsFormat(2 * half, 2 * half))
        --half;
    return 2 * std::max(half, 1);
}

std::string nameForSettings(const std::string& file, const std::string& settingsFile) {
    if (folderOf(file) == folderOf(settingsFile)) return baseName(file);
    const bool absolute =
        (!file.empty() && isFolderSeparator(file[0])) || (file.size() > 1 && file[1] == ':');
    if (absolute) return file;
    std::string here = currentFolder();
    if (!here.empty() && !isFolderSeparator(here.back())) here += platformIsWindows() ? '\\' : '/';
    return here + file;
}

void applyTerrainSettings(SettingsFile& settings, const TerrainSettings& t) {
    settings.set("Terrain1", "Hoehe", t.heightFile);
    if (!t.colourFile.empty()) settings.set("Terrain1", "Farbe", t.colourFile);
    const std::string* name = settings.find("Terrain1", "Name");
    if (!name || name->empty()) settings.set("Terrain1", "Name", t.modelName);
    const std::int32_t tile = largestTileSteps(t.stepCm);
    settings.set("Terrain1", "Kachelgroesse", metresText(tile * t.stepCm));
    settings.set("Terrain1", "Kachelabstand", metresText(tile / 2 * t.stepCm));
    // Where the terrain lies in the world, for tools that place GPS tracks
    // or other georeferenced data on it.
    const char* format = t.degrees ? "%.8f" : "%.3f";
    settings.set("Georeferenz", "Rechts", formatText(format, t.east));
    settings.set("Georeferenz", "Hoch", formatText(format, t.north));
    settings.set("Georeferenz", "Einheit", t.degrees ? "Grad" : "Meter");
    if (t.epsg != 0)
        settings.set("Georeferenz", "EPSG", formatText("%d", t.epsg));
    else
        settings.remove("Georeferenz", "EPSG");
    settings.set("Georeferenz", "Raster", metresText(t.stepCm));
}

int dgmMain(int argc, char** argv) {
    Options o;
    Summary summary;
    int code = 1;
    Parse parse = Parse::Failed;
    if (argc < 2)
        std::fputs(Usage, stdout);
    else
        parse = parseArguments(argc, argv, o);
    switch (parse) {
    case Parse::Help:
        std::fputs(Usage, stdout), code = 0;
        break;
    case Parse::Version:
        printVersion("zumt_dgm"), code = 0;
        break;
    case Parse::Failed:
        break;
    case Parse::Run:
        code = run(o, summary);
        break;
    }
    if (!o.quiet && parse == Parse::Run) {
        for (const std::string& line : summary.lines)
            std::printf("%s\n", line.c_str());
        std::string files;
        for (const std::string& f : summary.written)
            files += (files.empty() ? "" : ", ") + f;
        std::printf("%-13s%s\n", "Geschrieben:", files.empty() ? "nichts" : files.c_str());
    }
    std::fflush(stdout);
    // Started from Explorer (files dropped onto it): the window would close
    // before anyone could read the summary. Output into a file or a pipe
    // has nobody to wait for.
    if (ownsConsoleWindow() && standardOutputIsTerminal()) {
        std::printf("Weiter mit einer Taste ...\n");
        std::fflush(stdout);
        waitForKey();
    }
    return code;
}
