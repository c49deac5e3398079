// The readers of the single elevation formats behind readElevationFile.
// Each takes the name the messages show and the source of the bytes, fills
// `out` and returns true, or returns false after one message (report) and
// leaves `out` untouched. A reader sets NaN only
// where the file declares that there is no height, and counts those points
// in out.noData.declared; every other value it hands on as the file holds it
// (rounded to single precision: 1e300 becomes infinity), so that
// readElevationFile can tell what is no height.
#pragma once

#include "common/byte_source.h"
#include "dgm/elevation_grid.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

bool readAsciiGrid(const std::string& name, const ByteSource& source, ElevationGrid& out);
bool readXyzPoints(const std::string& name, const ByteSource& source, ElevationGrid& out);
bool readSrtmTile(const std::string& name, const ByteSource& source, ElevationGrid& out);
// Reads the IFD and one strip or tile at a time: a BigTIFF of any size.
bool readGeoTiffHeights(const std::string& name, const ByteSource& source, ElevationGrid& out);

// Whether a text starts like XYZ points: its first line that is not blank
// (or, after one line of names, the next) begins with three numbers. A
// Surfer grid or any other text is no point list, whatever its name.
bool looksLikePoints(std::string_view head);

// An SRTM tile holds 1201 × 1201 (3 arc seconds) or 3601 × 3601 (1 arc
// second) points: its side, or 0 for any other file size.
std::size_t srtmSide(std::uint64_t fileBytes);
// The south-west corner of the tile named like "N47E011.hgt" or
// "s12w077.hgt" (degrees, south and west negative); false (and both left
// alone) if the name does not say it or the tile would not lie on the
// globe (N90..., E180...).
bool srtmCorner(const std::string& path, int& latitude, int& longitude);
