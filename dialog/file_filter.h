// The filters of the file-open dialogs are written in the "|" form:
// description and pattern alternate, each followed by "|"
// ("Farbbitmap|*.bmp|*.*|"). The Win32 file dialog wants NUL instead of "|"
// and a second NUL at the end of the list.
#pragma once

#include <string>
#include <string_view>

// The Win32 form of a "|" filter. The list ends at the end of the text or at
// an empty item ("||"). A description left without a pattern, as the final
// "*.*|" of the dialog's filters is, takes its own text as its pattern, so
// the entry lists the files it names instead of an entry with no pattern.
std::string win32FilterText(std::string_view filter);
