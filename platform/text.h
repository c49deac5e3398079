// The system's texts are 8-bit Windows-1252 bytes (literals are compiled that
// way, files hold them that way). A POSIX terminal wants UTF-8.
#pragma once

#include <string>
#include <string_view>

// Converts Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same
// number, as Windows' own conversion does.
std::string cp1252ToUtf8(std::string_view text);

// True when the text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// The text for a UTF-8 terminal: a message may carry a path that the user
// typed in UTF-8; such a text is already fit and stays as it is. Anything
// else is taken as Windows-1252 and converted.
std::string terminalText(std::string_view text);
