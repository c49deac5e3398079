// gen_zumt_ter where there is no dialog: "gen_zumt_ter Path.danl" does what
// starting the dialog with that argument and pressing "OK" does. It loads the
// settings, prints the six fields with the Min and Max the dialog would show
// and the forecast ("Vorhersage:   24 Kacheln, 3 MB Modelle, 0.96 km2"),
// stores the settings, runs the generator with a progress line, prints where
// the models and the layout went (generationSummary, also with -q) and
// returns the exit code: 0 when the generator succeeded, 1 otherwise. Nobody
// is asked before a large job: the forecast stands before the first tile.
//
// A ".danl" that does not exist is refused with "Can't open %s!\n" and is
// not created. Since nobody sees the fields, a refused argument
// ("Falsche Endung: %s\n")
// or a height file that loading had to drop (missing, unreadable, of a wrong
// kind) stops the run after its message, before anything is written; "OK" in
// the dialog would go on and remove "Hoehe" from the file.
#pragma once

// Without an argument it prints how to use it and returns 1.
int genZumtTerConsoleMain(int argc, char** argv);
