#include "dgm/reader_support.h"

#include "common/file_messages.h"
#include "common/message.h"
#include "common/paths.h"
#include "dgm/coordinate_systems.h"
#include "platform/platform.h"

#include <charconv>
#include <cstring>

bool openRegularFile(const std::string& path, FileSource& file) {
    // FileSource opens regular files only, without waiting on a FIFO.
    const InputProblem problem = file.open(path);
    if (problem == InputProblem::None) return true;
    reportInputProblem(problem, path);
    return false;
}

bool wholeSourceOrReport(const std::string& name, const ByteSource& source, std::uint64_t maxBytes,
                         std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t>& bytes) {
    const InputProblem problem = wholeSource(source, maxBytes, buffer, bytes);
    if (problem == InputProblem::None) return true;
    reportInputProblem(problem, name);
    return false;
}

bool jpegTablesFit(std::span<const std::uint8_t> b) {
    if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xD8) return false;
    std::size_t i = 2;
    while (i < b.size()) {
        // A marker: 0xFF (fill bytes repeat it) and its code. Between the
        // markers lies entropy-coded data, in which 0xFF 0x00 is a data
        // byte and 0xFF 0xD0..D7 a restart marker.
        if (b[i] != 0xFF) {
            ++i;
            continue;
        }
        while (i < b.size() && b[i] == 0xFF)
            ++i;
        if (i == b.size()) break;
        const std::uint8_t m = b[i++];
        if (m == 0x00 || (m >= 0xD0 && m <= 0xD9) || m == 0x01) continue; // no segment
        if (b.size() - i < 2) return false;
        const std::size_t length = (std::size_t{b[i]} << 8) | b[i + 1];
        if (length < 2 || length > b.size() - i) return false;
        if (m == 0xC4) {
            // DHT: tables of a class/id byte, 16 counts and the codes.
            std::size_t t = i + 2;
            const std::size_t end = i + length;
            while (t < end) {
                if (end - t < 17) return false;
                std::size_t codes = 0;
                for (std::size_t k = 1; k <= 16; ++k)
                    codes += b[t + k];
                if (codes > 256 || codes > end - t - 17) return false;
                t += 17 + codes;
            }
        }
        i += length;
    }
    return true;
}

bool TextLines::next(std::string_view& line) {
    const bool first = lineNumber_ == 0;
    if (!nextLine(line)) return false;
    // Windows editors start a UTF-8 text with a byte-order mark; it is no
    // part of the first value or key.
    if (first && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    return true;
}

namespace {

const char* find(const char* from, const char* to, char c) {
    return static_cast<const char*>(std::memchr(from, c, static_cast<std::size_t>(to - from)));
}

} // namespace

bool TextLines::take(std::size_t length, std::size_t ending, std::string_view& line) {
    line = std::string_view(buf_.data() + begin_, length);
    consumed_ += length + ending;
    begin_ += length + ending;
    ++lineNumber_;
    return true;
}

bool TextLines::nextLine(std::string_view& line) {
    for (;;) {
        const char* from = buf_.data() + begin_;
        const char* to = buf_.data() + end_;
        // The first line end: the mark the last line ended with ("\n", or
        // "\r" alone in an old Mac file), or the other one when it comes
        // first. Searching for that mark first keeps this one pass of
        // memchr over each line, in either kind of file.
        const char* mark = find(from, to, crOnly_ ? '\r' : '\n');
        const char* other = find(from, mark ? mark : to, crOnly_ ? '\n' : '\r');
        const char* at = other ? other : mark;
        // A "\r" as the last byte read so far may be the first of "\r\n".
        if (at && (*at == '\n' || at + 1 < to || eof_)) {
            const auto length = static_cast<std::size_t>(at - from);
            crOnly_ = *at == '\r' && !(at + 1 < to && at[1] == '\n');
            if (*at == '\n') return take(length, 1, line);
            return crOnly_ ? take(length, 1, line) : take(length + 1, 1, line);
        }
        if (eof_) return begin_ != end_ && take(end_ - begin_, 0, line);
        // Keep the started line, then fill up the buffer behind it.
        std::memmove(buf_.data(), from, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        if (end_ == buf_.size()) {
            if (buf_.size() >= MaxLineBytes) {
                tooLong_ = true;
                return false;
            }
            buf_.resize(buf_.size() * 2);
        }
        const std::size_t got = source_.readSome(read_, buf_.size() - end_, buf_.data() + end_);
        read_ += got;
        if (got == 0) eof_ = true;
        end_ += got;
    }
}

const char* scanNumberSlowly(const char* first, const char* last, bool negative, double& out) {
    double v = 0.0;
    const auto result = std::from_chars(first, last, v);
    if (result.ec != std::errc() || result.ptr != last) return nullptr;
    out = negative ? -v : v;
    return last;
}

void readProjectionBeside(const std::string& path, bool& geographic, int& epsg) {
    // The extension of the name, not a dot in a folder's name.
    const std::size_t ext = extensionOf(splitPath(path).name).value_or("").size();
    if (ext == 0) return;
    std::vector<std::uint8_t> bytes;
    const std::string base = path.substr(0, path.size() - ext + 1); // with the dot
    // A description is a few hundred bytes; anything large is something else.
    if (readWholeFile(base + "prj", bytes, 65536) != InputProblem::None &&
        readWholeFile(base + "PRJ", bytes, 65536) != InputProblem::None)
        return;
    std::string wkt;
    for (std::uint8_t b : bytes)
        if (b > ' ') wkt += static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
    const bool projected = wkt.rfind("PROJCS[", 0) == 0 || wkt.rfind("PROJCRS[", 0) == 0;
    const bool degrees = wkt.rfind("GEOGCS[", 0) == 0 || wkt.rfind("GEOGCRS[", 0) == 0;
    if (!projected && !degrees) return;
    geographic = degrees;
    const int code = epsgFromWkt(wkt);
    if (code > 0) epsg = code;
}
