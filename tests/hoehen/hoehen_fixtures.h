// Layouts for the tests of zumt_hoehen, built record by record and written
// by the layout writer (whose bytes the layout tests pin down).
#pragma once

#include "layout/layout.h"

#include <cstdint>
#include <string>

// A track of the kind its connection count and variant give (the writer
// picks the code), with connections to made-up peers.
TrackRecord makeTrack(std::int16_t id, const std::string& name, std::int16_t connections,
                      Point3 start, Point3 end, Vector3 direction);
ObjectRecord makeObject(std::int16_t id, const std::string& path, Point3 position,
                        Vector3 direction);

// The layout of the committed case tests/data/hoehen/Gelaende.anl, laid over
// the 5 × 3 point terrain tests/data/gdal_5x3_2m.ter (grid steps of 200 cm,
// so x runs from -400 to 400 and y from -200 to 200 cm):
//   tracks   1 "Gerade"        (-400, -200) on grid point (0, 0) to (100, 50)
//                              inside a cell
//            2 "Stumpfgleis"   (-300, 100) to (300, 100), one open end with
//                              a buffer stop 300 cm before it, at (0, 100)
//            3 "Brueckengleis" (200, -150) to (380, 150), with a bridge on
//                              its midpoint (290, 0)
//            4 "Weiche"        (399, 199) in the last cell to (100000,
//                              -100000) far beyond the terrain's corner
//   objects  1 "Baum" at the origin, 2 "Haus" at (-250, 30), 3
//            "Berge\bmp0_0" (another model folder) at the origin, 4 the
//            buffer stop, 5 the bridge, 6 "Baum" at (500, 300) beyond the
//            far corner
//   one entry with its tail; the standard cameras, camera 1 moved to
//   (100, -100).
Layout terrainLayout();

// The file image of a layout as the writer makes it (without the fix-ups of
// a save).
std::vector<std::uint8_t> layoutImage(Layout& layout);
