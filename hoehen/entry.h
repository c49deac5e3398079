// The entry of zumt_hoehen: checks the one argument (a ".anl" or ".danl"
// path), reads the ".danl" settings, makes the layout's folder the current
// folder and builds the height source named in [Terrain1] "Hoehe".
#pragma once

// The program's whole run; returns the process exit code: 0 only when the
// layout was written, 1 otherwise.
int hoehenMain(int argc, char** argv);
