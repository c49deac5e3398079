// The terrain tile generator: cuts the terrain grid of a height source into
// square tiles whose centres lie on a regular grid, writes one ".mod" model
// per tile into the host's model folder ("<host>Modelle\<Name>\bmp<i>_<j>.mod")
// and a layout that places every tile at its spot.
//
// Settings, all from [Terrain1] (lengths in metres):
//   "Hoehe"         height file, ".bmp" or ".ter"          required
//   "Farbe"         colour bitmap, ".bmp", one pixel per grid step, required
//   "Name"          the models' folder and path prefix      required
//   "Pixelgroesse"  grid step of a height bitmap           0.0
//   "Kachelgroesse" edge of a tile                         400.0
//   "Kachelabstand" distance of neighbouring tile centres  200.0
//   "Faktor"        height factor                          1.0
//   "RGBFaktor"     colour factor                          1.0
//   "Verschiebung"  height shift                           puts the lowest point at 2 cm
#pragma once

#include "generator/mesh_model.h"
#include "raster/colour_source.h"
#include "raster/height_source.h"
#include "raster/terrain_settings.h"
#include "raster/terrain_tiling.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Called after each tile's model was written: done of total.
using TileProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// What a run that reached its end could not write, each with its message
// shown: model files, and the layout.
struct GenerationOutcome {
    std::int64_t modelsFailed = 0; // the tiles left unwritten after a failed model
    bool layoutFailed = false;
    // Where the replaced layout of the user's was kept, if it was.
    std::optional<std::string> backupPath;
    // What was written, and where: the models' count and bytes, and their
    // folder ("<host>Modelle\<Name>", or "<Name>" in the current folder,
    // the folder of the ".danl", when no host folder is known:
    // besideSettings).
    std::int64_t modelsWritten = 0;
    std::uint64_t modelBytes = 0;
    std::string modelFolder;
    bool besideSettings = false;
    bool complete() const { return modelsFailed == 0 && !layoutFailed; }
};

// The whole run over the [Terrain1] values, which the program's entry reads
// once. Returns 1 when it reached its end (the layout may have
// failed, with its message: outcome tells), 0 when a check stopped it before
// any file was written, or when a model could not be written: then the run
// stops there with one message that names it and the tiles left, and the
// layout is not written. With a layout path the layout of all tiles is
// written there; a layout there that holds anything but this "Name"'s tiles
// (or does not load) is first copied to "<path>.bak" (outcome.backupPath).
int generateTiles(const TerrainValues& terrain, const std::optional<std::string>& layoutPath,
                  const TileProgress& progress = {}, GenerationOutcome* outcome = nullptr);

// What a run that reached its end made, for the user: the models' count,
// their size, their folder (made absolute) and the layout, paths as the
// operating system writes them. Plain ASCII, one item a line:
//   "24 Modelle (146 KB) geschrieben in C:\Zumt\Modelle\Demo\n"
//   without a host folder, why the models lie beside the ".danl":
//   "Zumt ist nicht in der Registry eingetragen: die Modelle liegen neben der erw. Anlage.\n"
//   (POSIX: "ZUMT_HOST_DIR ist nicht gesetzt: ...")
//   "Anlage: D:\Anlagen\Demo.anl\n", or "Anlage nicht geschrieben.\n"
std::string generationSummary(const GenerationOutcome& outcome, const std::string& layoutPath);

// Refills model with one part holding the tile's grid of quads, vertex
// heights and colours, by the run's tileMapping (its track extra unused).
void fillTileMesh(const TerrainMapping& mapping, MeshModel& model, const ColourSource& colours,
                  const HeightSource& heights, const TileRect& rect);

// red, green and blue times the "RGBFaktor", truncated, at most 255; the low
// 8 bits are kept (a negative one is not limited).
void scaleColour(PixelColour& colour, float rgbFaktor);
