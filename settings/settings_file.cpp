#include "settings/settings_file.h"

#include "common/byte_source.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "platform/platform.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool isTrailingBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where the lines of a text end: next(pos) is the first CR or LF at or after
// pos, or the text's size. The next of each kind is remembered, so that a
// file with only one kind of line end is searched once for the other and
// not once per line.
class LineEnds {
  public:
    explicit LineEnds(std::string_view text)
        : text_(text), cr_(find('\r', 0)), lf_(find('\n', 0)) {}
    std::size_t next(std::size_t pos) {
        if (cr_ < pos) cr_ = find('\r', pos);
        if (lf_ < pos) lf_ = find('\n', pos);
        return cr_ < lf_ ? cr_ : lf_;
    }

  private:
    std::size_t find(char c, std::size_t pos) const {
        return std::min(text_.find(c, pos), text_.size());
    }
    std::string_view text_;
    std::size_t cr_, lf_;
};

std::size_t countOf(std::string_view text, char c) {
    std::size_t n = 0;
    for (std::size_t at = text.find(c); at != std::string_view::npos; at = text.find(c, at + 1))
        ++n;
    return n;
}

// At most as many entries as there are lines holding a "=" or "[": the
// vector is sized once, not regrown and moved entry by entry.
std::size_t mostEntries(std::string_view text) {
    const std::size_t lines = countOf(text, '\n') + countOf(text, '\r') + 1;
    const std::size_t marks = countOf(text, '=') + countOf(text, '[');
    return std::min(lines, marks);
}

} // namespace

std::int32_t textToInt(std::string_view text) {
    std::string s(text);
    long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

double textToReal(std::string_view text) {
    std::string s(text);
    return std::strtod(s.c_str(), nullptr);
}

SettingsFile::ReadResult SettingsFile::read(std::string_view path, bool reportFailure) {
    FileSource file;
    const InputProblem problem = file.open(path);
    if (problem == InputProblem::CannotOpen) {
        if (reportFailure) reportInputProblem(problem, path);
        return ReadResult::CannotOpen;
    }
    if (problem != InputProblem::None) {
        reportInputProblem(problem, path);
        return ReadResult::Refused;
    }
    return read(path, file);
}

SettingsFile::ReadResult SettingsFile::read(std::string_view name, const ByteSource& source) {
    std::vector<std::uint8_t> buffer;
    std::span<const std::uint8_t> bytes;
    const InputProblem problem = wholeSource(source, LargestFile, buffer, bytes);
    if (problem != InputProblem::None) {
        reportInputProblem(problem, name);
        return ReadResult::Refused;
    }
    if (!parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
        report("%s ist keine Textdatei!\n", std::string(name).c_str());
        return ReadResult::Refused;
    }
    return ReadResult::Read;
}

bool SettingsFile::parse(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    if (text.starts_with(ByteOrderMark)) {
        text.remove_prefix(ByteOrderMark.size());
        if (entries.empty()) byteOrderMark = true;
    }
    entries.reserve(entries.size() + mostEntries(text));
    LineEnds ends(text);
    std::size_t pos = 0;
    while (pos < text.size()) {
        // One line: up to CR LF, LF or a lone CR.
        const std::size_t end = ends.next(pos);
        std::string_view line = text.substr(pos, end - pos);
        pos = end;
        if (pos < text.size()) pos += text.substr(pos, 2) == "\r\n" ? 2 : 1;
        while (!line.empty() && isTrailingBlank(line.back()))
            line.remove_suffix(1);
        // Continuation of a value that ends in a backslash.
        if (!entries.empty() && !entries.back().isSection()) {
            std::string& value = *entries.back().value;
            if (!value.empty() && value.back() == '\\') {
                value.pop_back();
                value += line;
                continue;
            }
        }
        if (line.empty()) continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos) add(line.substr(1, close - 1), std::nullopt);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos) add(line.substr(0, eq), line.substr(eq + 1));
    }
    return true;
}

std::string SettingsFile::serialize() const {
    std::string out(byteOrderMark ? ByteOrderMark : std::string_view());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SettingsEntry& e = entries[i];
        if (e.isSection()) {
            if (i != 0) out += "\r\n";
            out += '[';
            out += e.name;
            out += "]\r\n";
        } else {
            out += e.name;
            out += '=';
            out += *e.value;
            out += "\r\n";
        }
    }
    return out;
}

bool SettingsFile::write(std::string_view path) const {
    std::string bytes = serialize();
    return writeFileSafely(path, bytes.data(), bytes.size());
}

int SettingsFile::sectionIndex(std::string_view name) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].isSection() && entries[i].name == name) return static_cast<int>(i);
    return -1;
}

const std::string* SettingsFile::find(std::string_view section, std::string_view key) const {
    int s = sectionIndex(section);
    if (s < 0) return nullptr;
    for (std::size_t i = static_cast<std::size_t>(s) + 1; i < entries.size(); ++i) {
        if (entries[i].isSection()) break;
        if (entries[i].name == key) return &*entries[i].value;
    }
    return nullptr;
}

std::int32_t SettingsFile::getInt(std::string_view section, std::string_view key,
                                  std::int32_t def) const {
    const std::string* v = find(section, key);
    return v ? textToInt(*v) : def;
}

double SettingsFile::getReal(std::string_view section, std::string_view key, float def) const {
    const std::string* v = find(section, key);
    return v ? textToReal(*v) : static_cast<double>(def);
}

void SettingsFile::set(std::string_view section, std::string_view key, std::string_view value) {
    int s = sectionIndex(section);
    if (s < 0) {
        add(section, std::nullopt);
        add(key, value);
        return;
    }
    std::size_t i = static_cast<std::size_t>(s) + 1;
    for (; i < entries.size() && !entries[i].isSection(); ++i) {
        if (entries[i].name == key) {
            entries[i].value = std::string(value);
            return;
        }
    }
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(i),
                   SettingsEntry{std::string(key), std::string(value)});
}

int SettingsFile::remove(std::string_view section, std::string_view key) {
    int s = sectionIndex(section);
    if (s < 0) return 0;
    for (std::size_t i = static_cast<std::size_t>(s) + 1;
         i < entries.size() && !entries[i].isSection(); ++i) {
        if (entries[i].name == key) {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            return 1;
        }
    }
    return 0;
}

int SettingsFile::hasSection(std::string_view name) const {
    return sectionIndex(name) >= 0;
}

int SettingsFile::renameSection(std::string_view oldName, std::string_view newName) {
    int s = sectionIndex(oldName);
    if (s < 0) return 0;
    entries[static_cast<std::size_t>(s)].name = std::string(newName);
    return 1;
}

void SettingsFile::add(std::string_view name, std::optional<std::string_view> value) {
    SettingsEntry& e = entries.emplace_back();
    e.name.assign(name);
    if (value) e.value.emplace(*value);
}

void SettingsFile::clear() {
    byteOrderMark = false;
    entries.clear();
    entries.shrink_to_fit();
}
