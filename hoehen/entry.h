// The entry of zumt_hoehen: opens the layout pair that the one argument (a
// ".anl" or ".danl" path) names (raster/layout_pair.h: the settings read
// once, the layout's folder made the current folder, the height source of
// [Terrain1] "Hoehe") and fits the layout to that terrain.
#pragma once

// The program's whole run; returns the process exit code: 0 only when the
// layout was written, 1 otherwise.
int hoehenMain(int argc, char** argv);
