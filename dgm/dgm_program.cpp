#include "dgm/dgm_program.h"

#include "common/command_line.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "dgm/archive.h"
#include "dgm/colour_picture.h"
#include "dgm/coordinate_systems.h"
#include "dgm/elevation_grid.h"
#include "dgm/reproject.h"
#include "dgm/target_system.h"
#include "dgm/terrain_grid.h"
#include "dgm/terrain_writer.h"
#include "platform/platform.h"
#include "raster/terrain_settings.h"
#include "raster/terrain_tiling.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The tile "--anlage" writes is at most this long, unless two grid steps
// are longer: about what a host's model of this kind shows well.
constexpr std::int32_t LongestTileCm = 40000;

// Counts for the printf family: MinGW's C library does not know "%zu".
unsigned long long count(std::size_t n) {
    return n;
}

const char* const Usage =
    "Aufruf: zumt_dgm [Optionen] EINGABE... [-o Gelaende.ter]\n"
    "\n"
    "Wandelt Hoehendaten in ein Gelaende (.ter) fuer gen_zumt_ter, zumt_hoehen\n"
    "und zumt_vorschau. Eingaben: GeoTIFF (.tif), ESRI-ASCII-Raster (.asc),\n"
    "XYZ-Punkte (.xyz, .txt, .csv), SRTM (.hgt), auch gepackt (.zip, .gz);\n"
    "mehrere aneinander grenzende Kacheln werden zusammengesetzt, Luecken gefuellt.\n"
    "\n"
    "  -o DATEI.ter              das Gelaende (sonst nach der .danl benannt, ohne\n"
    "                            sie neben der ersten Eingabe)\n"
    "  --ausschnitt X1 Y1 X2 Y2  nur dieses Gebiet, in den Koordinaten des Gelaendes\n"
    "  --ausschnitt-grad B1 L1 B2 L2  nur dieses Gebiet, Ecken in Grad Breite und\n"
    "                            Laenge (47.55 11.2, 47,55N 11,2E)\n"
    "  --mitte B L --groesse M   ein Quadrat von M Metern um diesen Punkt (Grad)\n"
    "  --ziel EPSG:N             das Gelaende in diesem System (UTM, Gauss-Krueger;\n"
    "                            sonst das der ersten Hoehendatei)\n"
    "  --quelle EPSG:N           System der Eingaben, die keines nennen (XYZ, .asc\n"
    "                            ohne .prj, Worlddatei)\n"
    "  --raster M                Rasterweite in Metern (sonst die der Eingaben)\n"
    "  --farbe BILD              Luftbild (PNG, JPEG, BMP, TIFF; mit Georeferenz\n"
    "                            oder Worlddatei eingepasst, sonst gestreckt):\n"
    "                            schreibt DATEI_farbe.bmp; mehrfach moeglich;\n"
    "                            ohne Bild wird es die Schummerung der Hoehen\n"
    "  --anlage X.danl           traegt Gelaende, Farbe und Kachelgroesse in\n"
    "                            [Terrain1] dieser Einstellungsdatei ein\n"
    "  --nodata WERT             dieser Wert ist keine Hoehe (mehrfach moeglich);\n"
    "                            Werte unter -1000 m oder ueber 9000 m sind es nie\n"
    "  --fuellen N               Luecken bis N Rasterschritte vom Rand der Daten\n"
    "                            werden aus ihren Raendern ergaenzt, groessere\n"
    "                            eben auf die tiefste Randhoehe gelegt (sonst 10)\n"
    "  --baender R,G,B           diese Kanaele eines Luftbilds als Rot, Gruen,\n"
    "                            Blau (sonst 1,2,3)\n"
    "  -q                        ohne Fortschritt und Zusammenfassung\n"
    "  -h, --help                diese Hilfe\n"
    "  --version                 Programmversion\n"
    "\n"
    "Ohne Optionen (Dateien auf zumt_dgm.exe gezogen): Bilder werden zur Farbe,\n"
    "eine .danl zur Anlage, nach der Gelaende und Farbe benannt werden (sonst nach\n"
    "der ersten Hoehendatei).\n";

struct Options {
    std::vector<std::string> inputs;
    std::vector<std::string> pictures;
    std::string output;
    std::string settingsFile;
    std::optional<Area> cut;
    double stepMetres = 0.0; // 0 = from the inputs
    ReadOptions read;        // --nodata
    int smallHoleSteps = 10; // --fuellen
    BandChoice bands;        // --baender
    SystemOptions systems;   // --ziel, --quelle, --ausschnitt-grad, --mitte/--groesse
    double centreSize = 0.0; // --groesse
    bool quiet = false;
};

bool parseNumber(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

// "R,G,B": three band numbers from 1 on.
bool parseBands(const char* text, BandChoice& bands) {
    const char* p = text;
    int* const order[3] = {&bands.red, &bands.green, &bands.blue};
    for (int* band : order) {
        char* end = nullptr;
        const long v = std::strtol(p, &end, 10);
        if (end == p || v < 1 || v > 65535) return false;
        *band = static_cast<int>(v);
        p = end;
        if (band != order[2] && *p++ != ',') return false;
    }
    return *p == '\0';
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
            if (!(o.stepMetres >= 0.01)) {
                report("Rasterweite muss mindestens 0.01 m sein!\n");
                return Parse::Failed;
            }
        } else if (arg == "--nodata") {
            double v = 0.0;
            if (!need(1) || !number(v)) return Parse::Failed;
            o.read.noData.push_back(v);
        } else if (arg == "--fuellen") {
            double v = 0.0;
            if (!need(1) || !number(v)) return Parse::Failed;
            if (!(v >= 0.0 && v <= 100000.0) || v != std::floor(v)) {
                report("--fuellen braucht eine ganze Zahl von 0 bis 100000: %s!\n", argv[i]);
                return Parse::Failed;
            }
            o.smallHoleSteps = static_cast<int>(v);
        } else if (arg == "--baender") {
            if (!need(1)) return Parse::Failed;
            if (!parseBands(argv[++i], o.bands)) {
                report("--baender braucht drei Kanalnummern wie 1,2,3: %s!\n", argv[i]);
                return Parse::Failed;
            }
        } else if (arg == "--ausschnitt") {
            Area a;
            if (!need(4) || !number(a.x1) || !number(a.y1) || !number(a.x2) || !number(a.y2))
                return Parse::Failed;
            if (a.x1 == a.x2 || a.y1 == a.y2) {
                report("Ausschnitt ohne Flaeche!\n");
                return Parse::Failed;
            }
            o.cut = a;
        } else if (arg == "--ziel" || arg == "--quelle") {
            if (!need(1)) return Parse::Failed;
            const int code = parseEpsgText(argv[++i]);
            if (code <= 0) {
                report("%s braucht einen EPSG-Code wie EPSG:25832: %s!\n", arg.c_str(), argv[i]);
                return Parse::Failed;
            }
            (arg == "--ziel" ? o.systems.target : o.systems.source) = code;
        } else if (arg == "--ausschnitt-grad" || arg == "--mitte") {
            const int n = arg == "--mitte" ? 2 : 4;
            if (!need(n)) return Parse::Failed;
            DegreeArea a;
            a.centred = n == 2;
            double* values[4] = {&a.lat1, &a.lon1, &a.lat2, &a.lon2};
            for (int k = 0; k < n; ++k)
                if (!parseDegrees(argv[++i], k % 2 == 0, *values[k])) {
                    report("Keine %s in Grad fuer %s: %s!\n", k % 2 == 0 ? "Breite" : "Laenge",
                           arg.c_str(), argv[i]);
                    return Parse::Failed;
                }
            if (!a.centred && (a.lat1 == a.lat2 || a.lon1 == a.lon2)) {
                report("Ausschnitt ohne Flaeche!\n");
                return Parse::Failed;
            }
            o.systems.area = a;
        } else if (arg == "--groesse") {
            if (!need(1) || !number(o.centreSize)) return Parse::Failed;
            if (!(o.centreSize > 0.0)) {
                report("--groesse braucht eine Laenge in Metern: %s!\n", argv[i]);
                return Parse::Failed;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            report("Unbekannte Option: %s!\n", arg.c_str());
            return Parse::Failed;
        } else if (lowerExtension(arg) == ".danl") {
            o.settingsFile = arg;
        } else if (roleOf(arg) == InputRole::Picture) {
            // By content: a dropped orthophoto ".tif" is a picture, a
            // GeoTIFF of heights is not.
            o.pictures.push_back(arg);
        } else {
            o.inputs.push_back(arg);
        }
    }
    if (o.inputs.empty()) {
        report("Keine Hoehendatei angegeben!\n");
        return Parse::Failed;
    }
    const bool centred = o.systems.area && o.systems.area->centred;
    if (centred != (o.centreSize > 0.0)) {
        report("--mitte und --groesse gehoeren zusammen!\n");
        return Parse::Failed;
    }
    if (centred) o.systems.area->size = o.centreSize;
    if (o.cut && o.systems.area) {
        report("Nur ein Ausschnitt: --ausschnitt oder %s!\n",
               centred ? "--mitte" : "--ausschnitt-grad");
        return Parse::Failed;
    }
    if (!checkSystemOptions(o.systems)) return Parse::Failed;
    // A settings file names the terrain beside it: "Meine.danl" gets
    // "Meine.ter", whatever name Explorer passes first.
    if (o.output.empty() && lowerExtension(o.settingsFile) == ".danl")
        o.output = o.settingsFile.substr(0, o.settingsFile.size() - 5) + ".ter";
    if (o.output.empty()) {
        std::string first = o.inputs.front();
        // "kachel.xyz.gz" and "N47E011.hgt.zip" give "kachel.ter" and
        // "N47E011.ter"; "dgm1.zip" gives "dgm1.ter".
        if (kindOfName(first) == EntryKind::Archive) {
            first.resize(first.size() - lowerExtension(first).size());
            if (kindOfName(first) == EntryKind::Other) first += ".";
        }
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
    if (extensionOf(o.output) != ".ter") {
        report("Falscher Dateityp: %s!\n", o.output.c_str());
        return Parse::Failed;
    }
    if (!o.settingsFile.empty() && extensionOf(o.settingsFile) != ".danl") {
        report("Falscher Dateityp: %s!\n", o.settingsFile.c_str());
        return Parse::Failed;
    }
    return Parse::Run;
}

std::string baseName(const std::string& path) {
    return splitPath(path).name;
}

// The folder as written, separator included: "a\x" and "a/x" lie in folders
// written differently.
std::string folderOf(const std::string& path) {
    return path.substr(0, nameOffset(path));
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
    // A warning goes to standard error at once (also with -q) and into the
    // summary.
    void warn(const std::string& text) { add("Warnung:", text); }
};

// The settings file that --anlage updates. A new one is fine; one that is
// there but refused or unreadable stops the run before anything is
// written, so that our few keys never replace the user's settings.
bool readSettingsToUpdate(const std::string& path, SettingsFile& settings) {
    switch (settings.read(path, false)) {
    case SettingsFile::ReadResult::Read:
        return true;
    case SettingsFile::ReadResult::Refused:
        return false;
    case SettingsFile::ReadResult::CannotOpen:
        break;
    }
    if (!pathExists(path)) return true;
    report("Can't open %s!\n", path.c_str());
    return false;
}

// A path as one key for comparing names: absolute, one separator, and on
// Windows in one case, where "A.TER" and "a.ter" are one file.
std::string comparablePath(const std::string& path) {
    std::string out;
    for (char c : anchoredPath(path)) {
        if (isFolderSeparator(c)) c = '/';
        if (platformIsWindows()) c = asciiLower(c);
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    for (std::size_t at; (at = out.find("/./")) != std::string::npos;)
        out.erase(at, 2);
    return out;
}

// The outputs of a run; each must be neither an input nor another output.
struct Outputs {
    std::string terrain;
    std::string colour; // empty without pictures
    std::string settings;
};

bool outputsAreNoInputs(const Options& o, const Outputs& out) {
    std::vector<std::string> inputs = o.inputs;
    inputs.insert(inputs.end(), o.pictures.begin(), o.pictures.end());
    for (const std::string* target : {&out.terrain, &out.colour})
        for (const std::string& input : inputs)
            if (!target->empty() && comparablePath(*target) == comparablePath(input)) {
                report("%s ist zugleich Eingabe und Ausgabe!\n", target->c_str());
                return false;
            }
    return true;
}

// One input as a worker read it: its grid, or the messages of its failure.
struct ReadSlot {
    ElevationGrid grid;
    bool ok = false;
    bool done = false;
    std::vector<std::string> messages;
};

// Reads every input into the mosaic, each brought into the target system
// (dgm/target_system.h) and freed once it is joined. Two workers read
// (unpack, split and parse) the inputs ahead while this thread brings them
// into the system and joins them in the order given: the terrain and the
// message of the first failing input are those of a reading one by one.
// The mosaic is made with the first input, whose system and lattice a cut
// in degrees needs.
bool readInputs(const std::vector<InputFile>& inputs, const ReadOptions& options,
                const std::optional<Area>& cut, ProgressLine& progress, InputSystems& systems,
                std::optional<Mosaic>& mosaic) {
    const std::size_t n = inputs.size();
    // Inputs read ahead of the one being joined: their grids are what the
    // workers add to the memory the mosaic takes.
    constexpr std::size_t Ahead = 2;
    std::vector<ReadSlot> slots(n);
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t next = 0, joining = 0;
    bool stop = false;
    auto work = [&] {
        for (;;) {
            std::size_t k = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || next >= n || next <= joining + Ahead; });
                if (stop || next >= n) return;
                k = next++;
            }
            ReadSlot slot;
            {
                HeldMessages held;
                slot.ok = readElevationInput(inputs[k], slot.grid, options);
                slot.messages = std::move(held.texts);
            }
            slot.done = true;
            {
                std::lock_guard lock(mutex);
                slots[k] = std::move(slot);
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t w = 0; w < std::min<std::size_t>(n, 2); ++w)
        workers.emplace_back(work);
    bool ok = true;
    for (std::size_t k = 0; k < n && ok; ++k) {
        const InputFile& input = inputs[k];
        progress.show(
            formatText("Lese %llu/%llu: %s", count(k + 1), count(n), baseName(input.name).c_str()));
        ReadSlot slot;
        {
            std::unique_lock lock(mutex);
            joining = k;
            changed.notify_all();
            changed.wait(lock, [&] { return slots[k].done; });
            slot = std::move(slots[k]);
        }
        for (const std::string& text : slot.messages)
            showMessageText(text);
        ElevationGrid& grid = slot.grid;
        ok = slot.ok && systems.prepare(grid, input.name);
        if (ok && !mosaic && grid.columns > 0 && grid.rows > 0) {
            std::optional<Area> area = cut;
            ok = systems.cut(grid, area);
            if (ok) mosaic.emplace(area);
        }
        ok = ok && (!mosaic || mosaic->add(grid, input.name));
        if (ok) systems.latticeFrom(grid);
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& w : workers)
        w.join();
    if (!ok) {
        progress.done();
        return false;
    }
    if (!mosaic) mosaic.emplace(cut); // no input held a point
    return true;
}

// The terrain's metric grid from the joined inputs: holes filled, then
// resampled onto the step. Empty after a message.
struct Terrain {
    RowGrid grid;
    MetricFrame frame;
    std::int32_t stepCm = 0;
    bool degrees = false;
    int epsg = 0;
    FillReport fill; // what was cut and filled before the resampling
};

// What the inputs did not say, and what was done about it.
void describeData(const Mosaic& mosaic, const FillReport& fill, bool degrees, Summary& summary) {
    const NoDataCounts& none = mosaic.noData();
    const long long missing = none.declared + none.impossible + none.given;
    if (missing > 0)
        summary.add("Ohne Daten:",
                    formatText("%lld Punkte (%lld als fehlend markiert, %lld unmoegliche Hoehen "
                               "unter -1000 m oder ueber 9000 m, %lld mit --nodata)",
                               missing, none.declared, none.impossible, none.given));
    const HeightConflicts& twice = mosaic.repeated();
    if (twice.points > 0)
        summary.add("Doppelt:", formatText("%lld Punkte doppelt mit anderer Hoehe (bis %.2f m), "
                                           "der erste Wert gilt",
                                           twice.points, twice.largest));
    const HeightConflicts& overlap = mosaic.overlaps();
    if (overlap.points > 0)
        summary.add("Ueberlappt:", formatText("%lld Punkte weichen zwischen den Eingaben ab (bis "
                                              "%.2f m), die zuerst genannte Eingabe gilt",
                                              overlap.points, overlap.largest));
    if (fill.cutNorth + fill.cutSouth + fill.cutWest + fill.cutEast > 0)
        summary.add("Rand:", formatText("ohne Daten abgeschnitten: %llu Zeilen im Norden, %llu im "
                                        "Sueden, %llu Spalten im Westen, %llu im Osten",
                                        count(fill.cutNorth), count(fill.cutSouth),
                                        count(fill.cutWest), count(fill.cutEast)));
    summary.add("Gefuellt:", formatText("%.1f %% (%lld Punkte aus den Raendern ergaenzt, %lld als "
                                        "ebene Flaeche auf der tiefsten Randhoehe)",
                                        fill.filledPercent(), fill.interpolated, fill.flat));
    if (fill.filledPercent() > 5.0) {
        const char* format = degrees ? "%.1f %% des Gelaendes sind ergaenzt, nicht gemessen "
                                       "(Gebiet %.6f %.6f bis %.6f %.6f)"
                                     : "%.1f %% des Gelaendes sind ergaenzt, nicht gemessen "
                                       "(Gebiet %.2f %.2f bis %.2f %.2f)";
        summary.warn(warning(format, fill.filledPercent(), fill.filledArea.x1, fill.filledArea.y1,
                             fill.filledArea.x2, fill.filledArea.y2));
    }
}

bool makeTerrain(const Options& o, ProgressLine& progress, Mosaic& mosaic, Summary& summary,
                 Terrain& t) {
    progress.show("Fuelle Luecken");
    RowGrid grid = mosaic.take();
    if (grid.empty()) {
        progress.done();
        report("Keine Hoehen im Ausschnitt!\n");
        return false;
    }
    t.fill = fillHoles(grid, o.smallHoleSteps);
    if (!t.fill.anyValid) {
        progress.done();
        report("Keine gueltigen Hoehen in den Eingaben!\n");
        return false;
    }
    t.degrees = grid.geographic;
    t.epsg = grid.epsg;
    t.frame = metricFrameFor(grid);
    t.stepCm = o.stepMetres > 0.0
                   ? static_cast<std::int32_t>(std::min(std::round(o.stepMetres * 100.0), 1e9))
                   : naturalStepCm(grid, t.frame);
    const double step = t.stepCm / 100.0;
    if (t.degrees)
        summary.add("Grad:", formatText("in Meter umgerechnet um %.6f N, %.6f E "
                                        "(1 Grad = %.1f m Ost-West, %.1f m Nord-Sued)",
                                        t.frame.lat0, t.frame.lon0, t.frame.metresPerDegreeX,
                                        t.frame.metresPerDegreeY));
    if (!metricGridFits(grid, t.frame, step)) {
        progress.done();
        return false;
    }
    progress.show("Raster");
    t.grid = resampleToMetric(std::move(grid), t.frame, step);
    progress.done();
    if (t.grid.columns < 2 || t.grid.rowCount() < 2) {
        report("Zu wenige Punkte fuer ein Gelaende: %llu x %llu!\n", count(t.grid.columns),
               count(t.grid.rowCount()));
        return false;
    }
    return true;
}

void describeTerrain(const Terrain& t, Summary& summary) {
    const RowGrid& g = t.grid;
    const double step = t.stepCm / 100.0;
    const double south = g.north - static_cast<double>(g.rowCount() - 1) * step;
    const HeightRange range = heightRange(g);
    summary.add("Gitter:", formatText("%llu x %llu Punkte, Raster %.2f m", count(g.columns),
                                      count(g.rowCount()), step));
    summary.add("Ausdehnung:", formatText("%.2f m x %.2f m, Suedwestecke %.6f %.6f%s",
                                          static_cast<double>(g.columns - 1) * step,
                                          static_cast<double>(g.rowCount() - 1) * step,
                                          t.frame.toInputX(g.west), t.frame.toInputY(south),
                                          t.epsg ? formatText(" (EPSG %d)", t.epsg).c_str() : ""));
    summary.add("Hoehen:", formatText("%.2f m bis %.2f m", range.low, range.high));
    if (!chooseTerrainEncoding(range.low, range.high, t.stepCm).gdalReadsAlike())
        summary.warn(warning("GDAL liest in %s andere Hoehen: bei %.2f m Raster fasst das Format "
                             "Hoehen von %.0f m bis %.0f m nur mit eigenem Hoehenmassstab "
                             "(zumt_hoehen, gen_zumt_ter und zumt_vorschau lesen sie richtig).",
                             "diesem Gelaende", step, range.low, range.high));
    const std::int32_t tileCm = largestTileSteps(t.stepCm, LongestTileCm) * t.stepCm;
    if (tileCm > 40000)
        summary.add("Hinweis:", formatText("Raster %.2f m ist sehr grob fuer eine Anlage: eine "
                                           "Kachel misst %.2f m (sonst hoechstens 400 m).",
                                           step, tileCm / 100.0));
}

// A picture on the disk, or one in an archive with its world file beside it
// in the same archive.
bool readPicture(const InputFile& input, PlacedPicture& picture, const BandChoice& bands) {
    if (!input.packed) return readPlacedPicture(input.path, picture, bands);
    OpenInput open;
    if (!openInput(input, open)) return false;
    const std::string& entry = input.entry.name;
    const std::string entryBase = entry.substr(0, entry.rfind('.'));
    auto beside = [&](const std::string& path, std::vector<std::uint8_t>& bytes) {
        const std::size_t dot = path.rfind('.');
        return dot != std::string::npos && open.neighbour(entryBase + path.substr(dot), bytes);
    };
    return readPlacedPicture(input.name, open.source(), picture, bands, beside);
}

// The colour bitmap's image, painted from the pictures. Empty after a
// message.
bool makeColours(const Options& o, const std::vector<InputFile>& pictures, const Terrain& t,
                 Summary& summary, std::vector<std::uint8_t>& bytes) {
    const RowGrid& g = t.grid;
    TerrainPlace place{g.columns, g.rowCount(), g.west, g.north, t.stepCm / 100.0, t.frame};
    // A bitmap's sizes are 32 bits: refuse before the canvas is made.
    const double bitmapBytes =
        (static_cast<double>(place.columns - 1) * 3 + 3) * static_cast<double>(place.rows - 1);
    if (bitmapBytes > 4.0e9) {
        report("Farbbild zu gross: %llu x %llu!\n", count(place.columns - 1),
               count(place.rows - 1));
        return false;
    }
    ColourCanvas canvas = canvasFor(place);
    for (const InputFile& input : pictures) {
        const std::string& path = input.name;
        PlacedPicture picture;
        if (!readPicture(input, picture, o.bands)) return false;
        // A picture that names no system is taken in --quelle's, else in
        // the terrain's; one in another system of the table is warped.
        GeoPlacement& at = picture.placement;
        if (at.known && at.epsg == 0 && o.systems.source != 0) {
            at.epsg = o.systems.source;
            if (const std::optional<CoordinateSystem> s = findCoordinateSystem(at.epsg))
                at.geographic = s->geographic;
        }
        const bool otherSystem = at.known && at.epsg != 0 && t.epsg != 0 && at.epsg != t.epsg;
        if (otherSystem && (!findCoordinateSystem(at.epsg) || !findCoordinateSystem(t.epsg))) {
            const int unknown = findCoordinateSystem(at.epsg) ? t.epsg : at.epsg;
            report("%s passt nicht zu den Hoehen (EPSG %d und %d; EPSG %d rechnet zumt_dgm nicht "
                   "um): mit GDAL umwandeln: gdalwarp -t_srs EPSG:%d %s bild_%d.tif\n",
                   path.c_str(), at.epsg, t.epsg, unknown, t.epsg, baseName(path).c_str(), t.epsg);
            return false;
        }
        if (!otherSystem && at.known && at.epsg != 0 && at.geographic != t.degrees) {
            report("%s passt nicht zu den Hoehen (anderes Koordinatensystem)!\n", path.c_str());
            return false;
        }
        const RgbImage& image = picture.image;
        if (image.grey)
            summary.add("Farbbild:",
                        formatText("%s: %s in Graustufen", baseName(path).c_str(),
                                   image.bands == 1 ? "ein Band" : "ein Band gewaehlt"));
        else if (image.bands > 3 || !(o.bands == BandChoice{}))
            summary.add("Farbbild:", formatText("%s: %u Baender, Rot/Gruen/Blau aus Band %d/%d/%d",
                                                baseName(path).c_str(), image.bands, o.bands.red,
                                                o.bands.green, o.bands.blue));
        if (otherSystem)
            summary.add("Farbbild:", formatText("%s von EPSG %d nach EPSG %d umgerechnet",
                                                baseName(path).c_str(), at.epsg, t.epsg));
        const std::size_t painted = otherSystem ? paintWarpedPicture(canvas, place, picture, t.epsg)
                                                : paintPicture(canvas, place, picture);
        if (painted == 0) summary.warn(warning("%s liegt ausserhalb des Gelaendes.", path.c_str()));
    }
    // Ground no picture covers shows the shaded relief of its heights, not
    // black that would look like data.
    const std::size_t shaded = shadeUncovered(canvas, t.grid);
    const double covered = coveredPercent(canvas);
    if (pictures.empty())
        summary.add("Farbe:", "Schummerung der Hoehen (ohne Luftbild)");
    else
        summary.add("Abdeckung:", formatText("%.1f %% des Gelaendes von Bildern bedeckt, %llu "
                                             "Punkte als Schummerung der Hoehen",
                                             covered, count(shaded)));
    bytes = encodeBitmap(canvas);
    if (pictures.empty()) markShaded(bytes);
    return true;
}

// Without pictures the colour bitmap is the shaded relief of the heights,
// so that the generator always has one. A "Farbe" the settings name that
// fits the terrain stays, as does a bitmap of that size where the shading
// would go; one painted from a photo (or anything but an earlier shading)
// is never replaced: the run stops before writing. An earlier shading is
// shaded anew: the heights may have changed.
struct KeptColour {
    std::string path;   // empty: shade into the target
    bool named = false; // the one the settings name, which stay as they are
};
bool chooseShadedColour(const Options& o, const SettingsFile& settings, const Terrain& t,
                        const std::string& target, Summary& summary, KeptColour& keep) {
    const auto width = static_cast<std::int32_t>(t.grid.columns - 1);
    const auto height = static_cast<std::int32_t>(t.grid.rowCount() - 1);
    BitmapHead head;
    auto fits = [&](const std::string& path) {
        head = {};
        return readBitmapHead(path, head) && head.width == width && head.height == height;
    };
    const std::string* named = settings.find("Terrain1", "Farbe");
    if (!o.settingsFile.empty() && named && !named->empty()) {
        const std::string path =
            isAbsolutePath(*named) ? *named : folderOf(o.settingsFile) + *named;
        if (fits(path) && !head.shaded) {
            keep = {path, true};
            summary.add("Farbe:", formatText("%s bleibt (passt zum Gelaende)", named->c_str()));
            return true;
        }
        if (!head.shaded)
            summary.add("Hinweis:", formatText("%s fehlt oder passt nicht zum Gelaende (%d x "
                                               "%d Pixel), die Farbe wird die Schummerung",
                                               named->c_str(), width, height));
    }
    head = {};
    if (!pathExists(target) || (readBitmapHead(target, head) && head.shaded)) return true;
    if (fits(target)) {
        keep = {target, false};
        summary.add("Farbe:",
                    formatText("%s bleibt (passt zum Gelaende)", baseName(target).c_str()));
        return true;
    }
    report("%s passt nicht zum Gelaende und ist keine Schummerung von zumt_dgm: mit --farbe neu "
           "malen oder die Datei entfernen!\n",
           target.c_str());
    return false;
}

std::string lengthsText(const TileLengths& l) {
    return formatText("Kachelgroesse %s m, Kachelabstand %s m",
                      metresText(static_cast<std::int32_t>(std::min<std::int64_t>(
                                     2 * std::int64_t{l.halfTileCm}, INT32_MAX)))
                          .c_str(),
                      metresText(l.spacingCm).c_str());
}

// The forecast of the generator's run, and a way down when it is large.
void describeForecast(const TerrainSettings& ts, const TileChoice& tiles, const Terrain& t,
                      double south, Summary& summary) {
    const MetricFrame& frame = t.frame;
    const double step = ts.stepCm / 100.0;
    if (tiles.source == TileSource::Replaced)
        summary.add("Hinweis:", formatText("%s der Anlage passen bei Raster %.2f m nicht "
                                           "(Modellformat oder keine Kachel im Gelaende), "
                                           "ersetzt durch %s",
                                           lengthsText(tiles.before).c_str(), step,
                                           lengthsText(tiles.lengths).c_str()));
    const std::optional<JobForecast> forecast =
        terrainForecast(ts.gridWidth, ts.gridHeight, ts.stepCm, tiles.lengths);
    if (!forecast) return;
    summary.add("Vorhersage:", formatText("%s (%s)", forecastText(*forecast).c_str(),
                                          lengthsText(tiles.lengths).c_str()));
    if (!isLargeJob(*forecast)) return;
    std::string way;
    const JobReduction down = reduceJob(ts.gridWidth, ts.gridHeight, ts.stepCm, tiles);
    if (down.rasterCm > 0) {
        way = formatText(" Mit --raster %g werden es etwa %s.", down.rasterCm / 100.0,
                         forecastText(down.forecast).c_str());
    } else if (down.cutWidth > 0) {
        // Around the centre, rounded inwards: the cut holds at most as many
        // steps as reckoned.
        const double cx = t.grid.west + ts.gridWidth * step / 2;
        const double cy = south + ts.gridHeight * step / 2;
        const double hx = down.cutWidth * step / 2, hy = down.cutHeight * step / 2;
        const double unit = ts.degrees ? 1e6 : 1.0;
        auto in = [&](double v, bool up) {
            return (up ? std::ceil(v * unit) : std::floor(v * unit)) / unit;
        };
        const char* format = ts.degrees ? " Mit --ausschnitt %.6f %.6f %.6f %.6f (um die Mitte) "
                                          "werden es etwa %s."
                                        : " Mit --ausschnitt %.0f %.0f %.0f %.0f (um die Mitte) "
                                          "werden es etwa %s.";
        way = formatText(format, in(frame.toInputX(cx - hx), true),
                         in(frame.toInputY(cy - hy), true), in(frame.toInputX(cx + hx), false),
                         in(frame.toInputY(cy + hy), false), forecastText(down.forecast).c_str());
    }
    summary.warn(warning("Grosser Auftrag fuer gen_zumt_ter: %s (ab %lld Kacheln oder %s Modellen "
                         "hat der Simulator viel zu laden).%s",
                         forecastText(*forecast).c_str(), static_cast<long long>(ManyTiles),
                         bytesText(ManyModelBytes).c_str(), way.c_str()));
}

int run(const Options& o, Summary& summary) {
    SettingsFile settings;
    if (!o.settingsFile.empty() && !readSettingsToUpdate(o.settingsFile, settings)) return 1;
    // Archives become the inputs they hold, their pictures pictures.
    std::vector<InputFile> heights, pictures;
    if (!expandInputs(o.inputs, false, heights, pictures) ||
        !expandInputs(o.pictures, true, pictures, pictures))
        return 1;
    if (heights.empty()) {
        report("Keine Hoehendatei angegeben!\n");
        return 1;
    }
    Outputs out;
    out.terrain = o.output;
    const std::string colourTarget = o.output.substr(0, o.output.size() - 4) + "_farbe.bmp";
    if (!pictures.empty()) out.colour = colourTarget;
    out.settings = o.settingsFile;
    if (!outputsAreNoInputs(o, out)) return 1;
    // Every output is checked before the long work and the first byte.
    FileSet files;
    for (const std::string* target : {&out.terrain, &out.colour, &out.settings})
        if (!target->empty() && !files.check(*target)) return 1;

    ProgressLine progress(o.quiet);
    InputSystems systems(o.systems);
    std::optional<Mosaic> mosaic;
    Terrain t;
    if (!readInputs(heights, o.read, o.cut, progress, systems, mosaic) ||
        !makeTerrain(o, progress, *mosaic, summary, t))
        return 1;
    for (const auto& [label, text] : systems.notes())
        summary.add(label.c_str(), text);
    describeTerrain(t, summary);
    describeData(*mosaic, t.fill, t.degrees, summary);

    const double west = t.grid.west;
    const double south =
        t.grid.north - static_cast<double>(t.grid.rowCount() - 1) * (t.stepCm / 100.0);
    TerrainSettings ts;
    const std::string name = baseName(out.terrain);
    ts.modelName = name.substr(0, name.size() - 4);
    ts.stepCm = t.stepCm;
    ts.east = t.frame.toInputX(west);
    ts.north = t.frame.toInputY(south);
    ts.degrees = t.degrees;
    ts.epsg = t.epsg;
    ts.gridWidth = static_cast<std::int32_t>(t.grid.columns - 1);
    ts.gridHeight = static_cast<std::int32_t>(t.grid.rowCount() - 1);
    if (t.degrees) {
        ts.longitude = ts.east;
        ts.latitude = ts.north;
        ts.inDegrees = true;
    } else if (t.epsg != 0) {
        ts.inDegrees = cornerInDegrees(t.epsg, ts.east, ts.north, ts.longitude, ts.latitude);
    }
    const TileChoice tiles = o.settingsFile.empty()
                                 ? TileChoice{ourTileLengths(t.stepCm), TileSource::Ours, {}}
                                 : chooseTileLengths(settings, ts);
    describeForecast(ts, tiles, t, south, summary);

    // Without pictures the colours are the shaded heights, unless a fitting
    // bitmap stays.
    KeptColour kept;
    if (pictures.empty()) {
        if (!chooseShadedColour(o, settings, t, colourTarget, summary, kept)) return 1;
        if (kept.path.empty()) {
            out.colour = colourTarget;
            if (!files.check(out.colour)) return 1;
        }
    }

    // The terrain and its colours are made again from the data by the next
    // run: like the generator's models they skip the wait for the disk (a
    // second for a large terrain); the move still never shows a
    // half-written file. The settings file is the user's and is flushed.
    // The colours come first: they need the heights, which the terrain's
    // encoder frees as it goes.
    if (!out.colour.empty()) {
        std::vector<std::uint8_t> bytes;
        if (!makeColours(o, pictures, t, summary, bytes) ||
            !files.stage(out.colour, bytes, Durability::Replaceable))
            return 1;
    }
    if (!files.stage(out.terrain, encodeTerrain(std::move(t.grid), t.stepCm),
                     Durability::Replaceable))
        return 1;
    if (!out.settings.empty()) {
        ts.heightFile = nameForSettings(out.terrain, out.settings);
        // A kept bitmap the settings name stays as named.
        if (!out.colour.empty())
            ts.colourFile = nameForSettings(out.colour, out.settings);
        else if (!kept.named)
            ts.colourFile = nameForSettings(kept.path, out.settings);
        applyTerrainSettings(settings, ts);
        const std::string text = settings.serialize();
        if (!files.stage(out.settings, std::vector<std::uint8_t>(text.begin(), text.end()),
                         Durability::Flushed))
            return 1;
    }
    const bool committed = files.commit();
    summary.written = files.written();
    return committed ? 0 : 1;
}

} // namespace

std::string nameForSettings(const std::string& file, const std::string& settingsFile) {
    if (folderOf(file) == folderOf(settingsFile)) return baseName(file);
    return anchoredPath(file);
}

TileLengths ourTileLengths(std::int32_t stepCm) {
    const std::int32_t half = largestTileSteps(stepCm, LongestTileCm) / 2 * std::max(stepCm, 1);
    return {half, half};
}

TileChoice chooseTileLengths(const SettingsFile& settings, const TerrainSettings& t) {
    TileChoice c{ourTileLengths(t.stepCm), TileSource::Ours, {}};
    const std::string* size = settings.find("Terrain1", "Kachelgroesse");
    const std::string* spacing = settings.find("Terrain1", "Kachelabstand");
    if ((!size || size->empty()) && (!spacing || spacing->empty())) return c;
    // Those an earlier run wrote for its step are ours to change.
    const std::string* raster = settings.find("Georeferenz", "Raster");
    if (raster && size && spacing) {
        const std::int32_t before = truncToInt32(textToReal(*raster) * 100.0);
        const std::int32_t tile = largestTileSteps(before, LongestTileCm);
        if (before > 0 && before <= LongestTileCm && *size == metresText(tile * before) &&
            *spacing == metresText(tile / 2 * before))
            return c;
    }
    c.before = tileLengths(readTerrainValues(settings));
    bool fits = false;
    if (t.gridWidth > 0 && t.gridHeight > 0) {
        const std::optional<Tiling> tiling = planTiling(t.gridWidth, t.gridHeight, t.stepCm,
                                                        c.before.halfTileCm, c.before.spacingCm);
        // Tiles wider apart than the grid make no model at all.
        fits = c.before.halfTileCm >= 0 && tiling && tiling->tileCount() > 0 &&
               tilesFitFormat(*tiling);
    } else if (t.stepCm > 0) {
        const std::int64_t quads = 2 * std::int64_t{c.before.halfTileCm / t.stepCm};
        fits = c.before.halfTileCm >= 0 && c.before.spacingCm >= t.stepCm &&
               quadGridFitsFormat(quads, quads);
    }
    c.source = fits ? TileSource::Kept : TileSource::Replaced;
    if (fits) c.lengths = c.before;
    return c;
}

TileChoice applyTerrainSettings(SettingsFile& settings, const TerrainSettings& t) {
    const TileChoice tiles = chooseTileLengths(settings, t);
    settings.set("Terrain1", "Hoehe", t.heightFile);
    if (!t.colourFile.empty()) settings.set("Terrain1", "Farbe", t.colourFile);
    const std::string* name = settings.find("Terrain1", "Name");
    if (!name || name->empty()) settings.set("Terrain1", "Name", t.modelName);
    if (tiles.source != TileSource::Kept) {
        settings.set("Terrain1", "Kachelgroesse", metresText(2 * tiles.lengths.halfTileCm));
        settings.set("Terrain1", "Kachelabstand", metresText(tiles.lengths.spacingCm));
    }
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
    // The corner in degrees, for the user's orientation on a map.
    if (t.inDegrees) {
        settings.set("Georeferenz", "Laenge", formatText("%.8f", t.longitude));
        settings.set("Georeferenz", "Breite", formatText("%.8f", t.latitude));
    } else {
        settings.remove("Georeferenz", "Laenge");
        settings.remove("Georeferenz", "Breite");
    }
    return tiles;
}

std::optional<JobForecast> terrainForecast(std::int32_t gridWidth, std::int32_t gridHeight,
                                           std::int32_t stepCm, const TileLengths& tiles) {
    const std::optional<Tiling> tiling =
        planTiling(gridWidth, gridHeight, stepCm, tiles.halfTileCm, tiles.spacingCm);
    if (!tiling) return std::nullopt;
    return forecastJob(*tiling, stepCm);
}

JobReduction reduceJob(std::int32_t gridWidth, std::int32_t gridHeight, std::int32_t stepCm,
                       const TileChoice& tiles) {
    JobReduction r;
    auto under = [](const std::optional<JobForecast>& f) { return f && !isLargeJob(*f); };
    auto tileCm = [](std::int64_t cm) {
        return largestTileSteps(static_cast<std::int32_t>(cm), LongestTileCm) * cm;
    };
    // Our tiles grow with the step up to 400 m. At a coarser step the grid
    // has at most the old extent over it, and that extent lies within one
    // old step beyond the grid.
    bool grows = tiles.source != TileSource::Kept && stepCm > 0 &&
                 tileCm(stepCm) + 2 * std::int64_t{stepCm} <= LongestTileCm;
    static constexpr int Nice[] = {10, 15, 20, 25, 30, 40, 50, 60, 80}; // tenths
    for (std::int64_t decade = 1; grows && decade <= 10000; decade *= 10)
        for (int n : Nice) {
            if (n * decade % 10 != 0 || n * decade / 10 <= stepCm) continue;
            const std::int64_t cm = n * decade / 10;
            const auto w = static_cast<std::int32_t>((std::int64_t{gridWidth} + 1) * stepCm / cm);
            const auto h = static_cast<std::int32_t>((std::int64_t{gridHeight} + 1) * stepCm / cm);
            const auto step = static_cast<std::int32_t>(cm);
            const std::optional<JobForecast> f = terrainForecast(w, h, step, ourTileLengths(step));
            if (under(f)) {
                r.rasterCm = step;
                r.forecast = *f;
                return r;
            }
            if (tileCm(cm) + 2 * cm > LongestTileCm) {
                grows = false;
                break;
            }
        }
    // The count follows the area: the largest cut of the grid's proportions,
    // reckoned one step larger each way for the cut's rounding.
    if (gridWidth <= 0 || gridHeight <= 0) return r;
    auto heightOf = [&](std::int32_t w) {
        return std::max<std::int32_t>(
            1, static_cast<std::int32_t>(std::int64_t{gridHeight} * w / gridWidth));
    };
    auto fits = [&](std::int32_t w) {
        return under(terrainForecast(w + 1, heightOf(w) + 1, stepCm, tiles.lengths));
    };
    std::int32_t good = 0, bad = gridWidth + 1;
    while (bad - good > 1) {
        const std::int32_t w = good + (bad - good) / 2;
        (fits(w) ? good : bad) = w;
    }
    if (good == 0) return r;
    r.cutWidth = good;
    r.cutHeight = heightOf(good);
    r.forecast = *terrainForecast(good, r.cutHeight, stepCm, tiles.lengths);
    return r;
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
        std::fputs(Usage, stdout);
        code = 0;
        break;
    case Parse::Version:
        printVersion("zumt_dgm");
        code = 0;
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
