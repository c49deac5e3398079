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

const char* scanNumberSlowly(const char* first, const char* last, bool negative, double& out) {
    double v = 0.0;
    const auto result = std::from_chars(first, last, v);
    if (result.ec != std::errc() || result.ptr != last) return nullptr;
    out = negative ? -v : v;
    return last;
}
