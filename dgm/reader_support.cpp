#include "dgm/reader_support.h"

#include "common/message.h"
#include "platform/platform.h"

#include <charconv>
#include <cstring>
#include <sys/stat.h>

bool isRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(osPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool openRegularFile(const std::string& path, InputFile& file, std::string& error) {
    // Asked before opening: opening a FIFO for reading waits for a writer.
    if (!isRegularFile(path) || !file.open(path)) {
        error = formatText(CantOpenFile, path.c_str());
        return false;
    }
    return true;
}

bool loadRegularFile(const std::string& path, std::uint64_t maxBytes,
                     std::vector<std::uint8_t>& bytes, std::string& error) {
    bytes.clear();
    InputFile file;
    if (!openRegularFile(path, file, error)) return false;
    if (file.size() > maxBytes) {
        error = formatText(FileTooLarge, path.c_str());
        return false;
    }
    const auto size = static_cast<std::size_t>(file.size());
    bytes.resize(size);
    // A file that shrank while it was read is as broken as a short one.
    if (file.read(bytes.data(), size) != size) {
        bytes.clear();
        error = formatText(CantOpenFile, path.c_str());
        return false;
    }
    return true;
}

std::string fileName(const std::string& path) {
    std::size_t cut = 0;
    for (std::size_t i = 0; i < path.size(); ++i)
        if (isFolderSeparator(path[i])) cut = i + 1;
    return path.substr(cut);
}

std::string lowerExtension(const std::string& path) {
    const std::string name = fileName(path);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool TextLines::next(std::string_view& line) {
    for (;;) {
        const char* base = buf_.data();
        if (const void* nl = std::memchr(base + begin_, '\n', end_ - begin_)) {
            const auto at = static_cast<std::size_t>(static_cast<const char*>(nl) - base);
            line = std::string_view(base + begin_, at - begin_);
            consumed_ += at + 1 - begin_;
            begin_ = at + 1;
            ++lineNumber_;
            return true;
        }
        if (eof_) {
            if (begin_ == end_) return false;
            line = std::string_view(base + begin_, end_ - begin_);
            consumed_ += end_ - begin_;
            begin_ = end_;
            ++lineNumber_;
            return true;
        }
        // Keep the started line, then fill up the buffer behind it.
        std::memmove(buf_.data(), base + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        if (end_ == buf_.size()) {
            if (buf_.size() >= MaxLineBytes) {
                tooLong_ = true;
                return false;
            }
            buf_.resize(buf_.size() * 2);
        }
        const std::size_t got = file_.read(buf_.data() + end_, buf_.size() - end_);
        if (got == 0) eof_ = true;
        end_ += got;
    }
}

namespace {

// Powers of ten that a double holds exactly.
constexpr double ExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// One more digit keeps the integer below 2^53 = 9.007e15.
constexpr std::uint64_t MantissaRoom = 900000000000000ULL;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

const char* scanNumber(const char* p, const char* end, double& out) {
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
    if (exact && exponent >= -22 && exponent <= 22) {
        // Both operands are exact, so the one rounding of the product or
        // quotient gives the correctly rounded value.
        double v = static_cast<double>(mantissa);
        v = exponent < 0 ? v / ExactPowers[-exponent] : v * ExactPowers[exponent];
        out = negative ? -v : v;
        return p;
    }
    double v = 0.0;
    const auto result = std::from_chars(numberStart, p, v);
    if (result.ec != std::errc() || result.ptr != p) return nullptr;
    out = negative ? -v : v;
    return p;
}
