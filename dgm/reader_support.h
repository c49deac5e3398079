// What the elevation and picture readers share: the limits every reader
// checks before it allocates, the messages, opening only regular files, a
// line reader over big chunks and a number scanner for the text formats.
#pragma once

#include "common/byte_source.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// At most this many grid points (or pixels) in one file: 1 GiB of heights.
inline constexpr std::size_t MaxGridPoints = std::size_t{1} << 28;
// Binary files (TIFF, SRTM) are read whole; larger ones are refused.
inline constexpr std::uint64_t MaxBinaryFileBytes = std::uint64_t{1} << 31;
// The longest line of a text grid (an ASCII grid may hold a whole row of
// many thousand values in one line).
inline constexpr std::size_t MaxLineBytes = std::size_t{64} << 20;

inline constexpr const char* FormatErrorIn = "Formatfehler in %s!\n";
inline constexpr const char* FormatErrorInLine = "Formatfehler in %s, Zeile %u!\n";
inline constexpr const char* FileTooLarge = "%s ist zu gross!\n";

// Opens a regular file for reading; false after the shared message of the
// input problem (a FIFO or a device is "ist keine Datei", never waited on).
[[nodiscard]] bool openRegularFile(const std::string& path, FileSource& file);

// The whole source of at most maxBytes bytes as a span (wholeSource); false
// after the shared message ("ist zu gross" beyond maxBytes, "Fehler beim
// Lesen" when not every byte arrives).
[[nodiscard]] bool wholeSourceOrReport(const std::string& name, const ByteSource& source,
                                       std::uint64_t maxBytes, std::vector<std::uint8_t>& buffer,
                                       std::span<const std::uint8_t>& bytes);

// Whether every Huffman table of a JPEG stream holds at most the 256 codes
// a table can have. The decoder we use (stb_image 2.27) writes past its
// table for more: every JPEG goes through this check first. False also
// for a stream that is no JPEG (no SOI) or whose segments run past its end.
bool jpegTablesFit(std::span<const std::uint8_t> jpeg);

// Hands out the lines of a text source one by one, read in big chunks; a line
// is valid until the next call. "\r\n" ends a line as "\n" does (the "\r"
// stays in the line: the parsers skip it as a blank); so does a "\r" alone
// (old Mac files).
class TextLines {
  public:
    // The chunks are 1 MiB, or the whole source when it is smaller (a fuzz
    // input of a few bytes takes no megabyte to clear).
    explicit TextLines(const ByteSource& source)
        : source_(source),
          buf_(static_cast<std::size_t>(std::min<std::uint64_t>(source.size() + 1, 1 << 20))) {}
    // False at the end of the file, or when a line is longer than
    // MaxLineBytes (then tooLong() is set).
    bool next(std::string_view& line);
    // The number of the line handed out last, for a message (as unsigned:
    // the C library of Windows knows no "%zu").
    unsigned lineForMessage() const {
        return static_cast<unsigned>(std::min<std::size_t>(lineNumber_, UINT32_MAX));
    }
    // Bytes of the file handed out so far, line ends included.
    std::uint64_t consumed() const { return consumed_; }
    bool tooLong() const { return tooLong_; }

  private:
    bool nextLine(std::string_view& line);
    // Hands out the next `length` bytes as a line and skips the `ending`
    // bytes that end it.
    bool take(std::size_t length, std::size_t ending, std::string_view& line);

    const ByteSource& source_;
    std::uint64_t read_ = 0; // bytes taken from the source so far
    std::vector<char> buf_;
    std::size_t begin_ = 0, end_ = 0;
    std::size_t lineNumber_ = 0;
    std::uint64_t consumed_ = 0;
    bool eof_ = false, tooLong_ = false;
    bool crOnly_ = false; // a line has ended with "\r" alone
};

// Blanks, tabs, commas, semicolons and carriage returns separate fields.
inline bool isFieldSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r';
}
inline const char* skipSeparators(const char* p, const char* end) {
    while (p < end && isFieldSeparator(*p))
        ++p;
    return p;
}

namespace scan {

// Powers of ten that a double holds exactly.
inline constexpr double ExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// One more digit keeps the integer below 2^53 = 9.007e15.
inline constexpr std::uint64_t MantissaRoom = 900000000000000ULL;

inline bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

} // namespace scan

// The number text first..last (without its sign) through std::from_chars.
const char* scanNumberSlowly(const char* first, const char* last, bool negative, double& out);

// Reads a decimal number ("-12", "3.25", "1e3") at p. Returns the position
// after it, or nullptr when no number starts there. Numbers of up to 16
// significant digits and small exponents are converted exactly in a fast
// path (inline: an XYZ tile holds three million of them); the others by
// std::from_chars.
inline const char* scanNumber(const char* p, const char* end, double& out) {
    using namespace scan;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    const char* numberStart = p;
    // The digits gathered into one integer that a double holds exactly
    // (below 2^53); further digits send the text to the slow path.
    std::uint64_t mantissa = 0;
    int exponent = 0;
    bool exact = true, anyDigit = false;
    for (; p < end && isDigit(*p); ++p) {
        anyDigit = true;
        if (mantissa < MantissaRoom)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        else
            exact = false;
    }
    if (p < end && *p == '.') {
        for (++p; p < end && isDigit(*p); ++p) {
            anyDigit = true;
            if (mantissa < MantissaRoom) {
                mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
                --exponent;
            } else if (*p != '0') {
                exact = false;
            }
        }
    }
    if (!anyDigit) return nullptr;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool negativeExponent = false;
        if (q < end && (*q == '-' || *q == '+')) negativeExponent = *q++ == '-';
        if (q == end || !isDigit(*q)) return nullptr;
        int e = 0;
        for (; q < end && isDigit(*q); ++q)
            if (e < 100000) e = e * 10 + (*q - '0');
        exponent += negativeExponent ? -e : e;
        p = q;
    }
    if (!exact || exponent < -22 || exponent > 22)
        return scanNumberSlowly(numberStart, p, negative, out);
    // Both operands are exact, so the one rounding of the product or
    // quotient gives the correctly rounded value.
    double v = static_cast<double>(mantissa);
    v = exponent < 0 ? v / ExactPowers[-exponent] : v * ExactPowers[exponent];
    out = negative ? -v : v;
    return p;
}

// The coordinate system of a text grid from the ".prj" file beside it (ESRI
// or OGC WKT, as GDAL writes one beside an ASCII grid): geographic for a
// GEOGCS, the EPSG code from an AUTHORITY or from the usual names of UTM
// zones. Leaves both alone when there is no such file or it says neither.
void readProjectionBeside(const std::string& path, bool& geographic, int& epsg);
