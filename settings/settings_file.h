// SettingsFile: the sectioned key/value text store of ".danl" files and
// "hoehen.ini".
//
// Text format, one entry per line:
//   [Section]        a section line; text after the first "]" is ignored
//   key=value        a key line: key before the first "=", value after it
//                    (either may be empty and hold blanks or further "=")
//   anything else    skipped (the only comment mechanism)
// A value ending in a backslash continues on the next line. A line ends at
// CR LF, LF or a lone CR (old Mac editors), and is read whole however long.
// A UTF-8 byte-order mark at the start is skipped and written back. A file
// holding NUL bytes is no text (UTF-16, a binary file picked by mistake):
// it is refused whole, so that its bytes are never written back as settings.
// Written files have CR LF line ends and an empty line before every section
// line but the very first entry.
//
// Names are compared byte by byte, case-sensitively. Every lookup uses only
// the first section of a name; keys before the first section are kept and
// written back but cannot be looked up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ByteSource;

struct SettingsEntry {
    std::string name;                 // section name or key
    std::optional<std::string> value; // none for a section entry
    bool isSection() const { return !value.has_value(); }
};

class SettingsFile {
  public:
    std::vector<SettingsEntry> entries; // in file (or insertion) order
    bool byteOrderMark = false;         // the first file read started with one

    // Appends the entries of the file. A file that cannot be opened shows
    // "Can't open %s!\n" when report is set and otherwise does nothing
    // (CannotOpen). A file that must not be taken as settings is refused
    // with a message whatever report says, and nothing is appended: a device
    // or FIFO ("%s ist keine Datei!\n"), more than LargestFile bytes ("%s ist
    // zu gross!\n"), NUL bytes ("%s ist keine Textdatei!\n"), a read error
    // ("Fehler beim Lesen von %s!\n"). A caller must not write a refused
    // file: the user's own bytes would be lost.
    enum class ReadResult { Read, CannotOpen, Refused };
    static constexpr std::uint64_t LargestFile = 1 << 20;
    ReadResult read(std::string_view path, bool report);
    // The same over bytes at hand (Read or Refused, with the messages above);
    // name is only shown in the messages.
    ReadResult read(std::string_view name, const ByteSource& source);
    // Appends the entries of a text already in memory (the file's bytes).
    // False, and nothing appended, when it holds a NUL byte.
    bool parse(std::string_view text);

    // Writes all entries through the safe replacement. Returns true when the
    // file was written; failures are shown ("Can't open %s!\n",
    // "Fehler beim Schreiben von %s!\n") and leave any old file intact.
    bool write(std::string_view path) const;
    // The bytes write() puts into the file.
    std::string serialize() const;

    // The value of the first key entry named key within the first section
    // named section, or null. Valid until the store is changed.
    const std::string* find(std::string_view section, std::string_view key) const;
    // atoi of the value (leading blanks, sign, digits; none gives 0; values
    // beyond the 32-bit range are clamped), or the default when absent.
    std::int32_t getInt(std::string_view section, std::string_view key, std::int32_t def) const;
    // atof of the value (no number gives 0.0), or the single-precision
    // default widened to double when absent.
    double getReal(std::string_view section, std::string_view key, float def) const;

    // Replaces the key's value in the first section of the name; else inserts
    // the key at the end of that section; else appends the section and key.
    void set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the first key of that name in the first section of that name;
    // the section line stays. Returns 1 if removed, else 0.
    int remove(std::string_view section, std::string_view key);
    int hasSection(std::string_view name) const;
    // Renames the first section of the old name. Returns 1, or 0 if none.
    int renameSection(std::string_view oldName, std::string_view newName);
    // Appends one entry: a section entry when value is none.
    void add(std::string_view name, std::optional<std::string_view> value);
    void clear();

  private:
    // Index of the first section entry of that name, or -1.
    int sectionIndex(std::string_view name) const;
};

// The C library's atoi and atof as the settings and dialog read numbers.
std::int32_t textToInt(std::string_view text);
double textToReal(std::string_view text);
