// What the benchmarks share: timing, the resident-set peak (Linux) and the
// test rasters they write.
#pragma once

#include "layout/layout.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

double millisecondsSince(const BenchClock::time_point& start);
double median(std::vector<double> values);

// A /proc/self/status value in bytes ("VmRSS:", "VmHWM:"), or 0 where there
// is none.
std::size_t statusBytes(const char* key);
// Resets the resident-set peak to the current size (Linux 4.0 and later).
bool resetResidentPeak();

// A Terragen file of points x points samples with the x and y scale in
// metres, vertical scale 1 m, HeightScale 2000 and BaseHeight 100.
bool writeBenchTerrain(const std::string& path, int points, float scaleMetres,
                       const std::function<std::int16_t(int, int)>& sample);
// A 24-bit bitmap with the info header; pixel(x, y) gives the three stored
// bytes as one number, the first stored byte most significant.
bool writeBenchBitmap(const std::string& path, int width, int height,
                      const std::function<std::uint32_t(int, int)>& pixel);

// Track number i of a benchmark layout, from start to end: the type codes
// take turns (1, 2, 3, 4, 6, 7, 8, 9, 11, 2), with every piece each code
// stores filled in.
TrackRecord benchTrack(int i, Point3 start, Point3 end);

// Object number j of a benchmark layout whose tracks come from benchTrack:
// every tenth (j % 10 == 3) a bridge on track j, every tenth (j % 10 == 7)
// a buffer stop at the open end of a code-2 track. Returns false for any
// other j, leaving o to the caller.
bool attachBenchObject(ObjectRecord& o, int j, const Layout& layout);

// A layout of `tracks` tracks from benchTrack, `objects` objects (every
// tenth a bridge on a track, every tenth a buffer stop at an open end, one
// in fifty a duplicate of the one before, the rest terrain tiles) and
// `entries` entries with tails; the cameras in their standard view.
Layout benchLayout(int tracks, int objects, int entries);
