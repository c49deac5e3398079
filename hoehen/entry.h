// The entry of zumt_hoehen: checks the one argument (a ".anl" or ".danl"
// path), reads the ".danl" settings, makes the layout's folder the current
// folder and builds the height source named in [Terrain1] "Hoehe".
#pragma once

#include <string>

// The program's whole run; returns the process exit code: 0 only when the
// layout was written, 1 otherwise.
int hoehenMain(int argc, char** argv);

// The split of the layout path at its last folder separator (the backslash;
// on POSIX the forward slash too). folder is empty when the path has none.
// A folder that would be a bare drive ("C:") becomes that drive's root
// ("C:\"), and a path in the root folder ("\Test.anl", "/Test.anl") keeps the
// separator as its folder, so that the change of folder goes where the
// layout really lies.
struct LayoutPathSplit {
    std::string folder;
    std::string name;
};
LayoutPathSplit splitLayoutPath(const std::string& path);
