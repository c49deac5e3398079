#include "common/byte_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

std::span<const std::uint8_t> ByteSource::view(std::uint64_t offset, std::size_t n,
                                               std::vector<std::uint8_t>& buffer) const {
    const std::uint64_t total = size();
    // "n <= total - offset" with offset <= total: a huge n cannot wrap.
    if (offset > total || n > total - offset) return {};
    if (const std::uint8_t* m = memory()) return {m + offset, n};
    buffer.resize(n);
    if (!read(offset, n, buffer.data())) {
        buffer.clear();
        return {};
    }
    return {buffer.data(), n};
}

std::size_t MemorySource::readSome(std::uint64_t offset, std::size_t n, void* out) const {
    if (offset >= size_) return 0;
    const std::size_t got = std::min<std::size_t>(n, size_ - static_cast<std::size_t>(offset));
    if (got > 0) std::memcpy(out, data_ + offset, got);
    return got;
}

InputProblem FileSource::open(std::string_view path) {
    close();
    InputProblem problem = InputProblem::None;
    file_ = openInputFile(path, problem);
    if (file_ && !openFileSize(file_, size_)) {
        close();
        problem = InputProblem::CannotOpen;
    }
    return problem;
}

void FileSource::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    readFailed_ = false;
}

std::size_t FileSource::readSome(std::uint64_t offset, std::size_t n, void* out) const {
    // No file reaches past 2^63 bytes; the systems' offsets are signed.
    if (!file_ || n == 0 || offset > static_cast<std::uint64_t>(INT64_MAX)) return 0;
    std::size_t got = 0;
    if (!readFileAt(file_, offset, out, n, got)) readFailed_ = true;
    return got;
}

InputProblem wholeSource(const ByteSource& source, std::uint64_t maxBytes,
                         std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t>& bytes) {
    bytes = {};
    const std::uint64_t size = source.size();
    if (size > maxBytes) return InputProblem::TooLarge;
    bytes = source.view(0, static_cast<std::size_t>(size), buffer);
    return bytes.size() == size ? InputProblem::None : InputProblem::ReadFailed;
}
