// The settings store over arbitrary text.
#include "common/byte_source.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/reader_checks.h"
#include "settings/settings_file.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// The operations below scan the store from its start; a few entries show
// whether they work without making every input quadratic.
constexpr std::size_t EntriesTried = 8;

bool sameEntries(const SettingsFile& a, const SettingsFile& b) {
    if (a.entries.size() != b.entries.size()) return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i)
        if (a.entries[i].name != b.entries[i].name || a.entries[i].value != b.entries[i].value)
            return false;
    return true;
}

// True when the written store reads back entry for entry. Two kinds of
// entry do not: a value ending in a blank or tab (a continuation closed by an
// empty line can leave one), which the reader trims off its line; and a
// first key that starts with the bytes of a byte-order mark in a file that
// had none (a mark on a later line of the file, moved to the front).
bool readsBackWhole(const SettingsFile& s) {
    if (!s.byteOrderMark && !s.entries.empty() && s.entries[0].name.starts_with("\xEF\xBB\xBF"))
        return false;
    for (const auto& e : s.entries)
        if (!e.isSection() && !e.value->empty() &&
            (e.value->back() == ' ' || e.value->back() == '\t'))
            return false;
    return true;
}

bool holds(std::string_view text, char c) {
    return text.find(c) != std::string_view::npos;
}

// What the grammar promises of every entry read from a file.
std::string entryProblem(const SettingsFile& s) {
    for (const auto& e : s.entries) {
        if (holds(e.name, '\n') || holds(e.name, '\r') || holds(e.name, '\0'))
            return "a name holds a line end or NUL";
        if (e.isSection()) {
            if (holds(e.name, ']')) return "a section name holds ']'";
            continue;
        }
        if (holds(*e.value, '\n') || holds(*e.value, '\r') || holds(*e.value, '\0'))
            return "a value holds a line end or NUL";
        if (holds(e.name, '=')) return "a key holds '='";
        if (!e.name.empty() && e.name[0] == '[') return "a key starts with '['";
    }
    return {};
}

// set, find, remove, hasSection and renameSection on the store read, which
// they change: the names tried are copied first. Of the entries behind those
// tried, two stay for insert and erase to move; the others would take no
// part but be moved each time.
std::string operationProblem(SettingsFile& s) {
    std::string section = "Terrain1";
    const std::size_t tried = std::min(s.entries.size(), EntriesTried);
    std::vector<SettingsEntry> names(s.entries.begin(),
                                     s.entries.begin() + static_cast<std::ptrdiff_t>(tried));
    if (s.entries.size() > tried + 2) s.entries.resize(tried + 2);
    for (const SettingsEntry& e : names) {
        if (e.isSection()) {
            section = e.name;
            if (!s.hasSection(e.name)) return "hasSection misses a section that was read";
            continue;
        }
        (void)s.getInt(section, e.name, 7);
        (void)s.getReal(section, e.name, 0.5f);
        s.set(section, e.name, "gesetzt");
        const std::string* v = s.find(section, e.name);
        if (!v || *v != "gesetzt") return "find does not give what set stored";
        if (s.remove(section, e.name) != 1) return "remove misses a key that set stored";
    }
    // No section read from a file has a "]" in its name: this one is new.
    s.set("Neu]", "Schluessel", "Wert");
    if (s.entries.size() < 2 || s.entries.back().name != "Schluessel" ||
        s.entries[s.entries.size() - 2].name != "Neu]" || !s.find("Neu]", "Schluessel"))
        return "set of a new section did not append it";
    if (!s.renameSection("Neu]", "Neu]2") || !s.hasSection("Neu]2")) return "renameSection failed";
    s.clear();
    if (!s.entries.empty()) return "clear left entries";
    return {};
}

} // namespace

std::string checkSettingsInput(const std::uint8_t* data, std::size_t size) {
    const MemorySource input(data, size);
    const std::string path = "input.danl";
    Captured captured;

    // A NUL byte makes the whole file no text: refused, with one message
    // naming it, and nothing taken from it.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool text = !holds(bytes, '\0');
    SettingsFile read;
    const SettingsFile::ReadResult result = read.read(path, input);
    if (result != (text ? SettingsFile::ReadResult::Read : SettingsFile::ReadResult::Refused))
        return "read gave the wrong result";
    if (captured.messages.size() != (text ? 0u : 1u) ||
        (!text && captured.messages[0] != path + " ist keine Textdatei!\n"))
        return "read showed the wrong messages";
    SettingsFile parsed;
    if (parsed.parse(bytes) != text) return "parse took a NUL byte for text";
    if (!sameEntries(read, parsed) || read.byteOrderMark != parsed.byteOrderMark)
        return "read and parse of the same bytes disagree";
    if (!text && (!read.entries.empty() || read.byteOrderMark))
        return "a refused file left entries";

    const std::string problem = entryProblem(read);
    if (!problem.empty()) return problem;

    // What write puts into a file reads back to the same entries.
    if (readsBackWhole(read)) {
        SettingsFile back;
        back.parse(read.serialize());
        if (!sameEntries(read, back) || back.byteOrderMark != read.byteOrderMark)
            return "the written store reads back differently";
    }
    return operationProblem(read);
}
