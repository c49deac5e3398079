// The entry of zumt_vorschau: "zumt_vorschau Anlage.danl [Bild.png]" draws
// the terrain named in [Terrain1] of the ".danl", the tiles the generator
// would cut from it and the layout beside the ".danl" (same name, ".anl",
// when there is one) into one PNG picture. Without a picture path the
// picture goes beside the ".danl", with the extension ".png".
//
// The tiles are outlined where that is readable (TileDrawing::Automatic);
// "--kacheln" outlines them always, "--ohne-kacheln" never (the terrain's
// outline and the tile count instead). Both may stand anywhere.
//
// The height and colour files are taken relative to the ".danl"'s folder,
// as the other programs take them; the picture path relative to the folder
// the program was started in.
#pragma once

#include <cstdint>

// The program's whole run; returns the process exit code: 0 when the picture
// was written, 1 otherwise (every refusal with its message). longSide is the
// picture's longer side in pixels, 0 for the automatic choice.
int vorschauMain(int argc, char** argv, std::int32_t longSide = 0);
