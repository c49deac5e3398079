// InputFile: a raster file opened for binary reading, with the size the file
// system reports for it and the count of bytes taken so far. The readers
// compare what a header claims with remaining() before they allocate
// anything: a header is only a claim, the file's length is a fact.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

class InputFile {
  public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens the file and learns its size. False when it is no regular file
    // or cannot be opened (or its size cannot be told, which the readers
    // treat the same way); problem() says which.
    bool open(std::string_view path) {
        close();
        file_ = openInputFile(path, problem_);
        if (file_ && !openFileSize(file_, size_)) {
            close();
            problem_ = InputProblem::CannotOpen;
        }
        return file_ != nullptr;
    }
    InputProblem problem() const { return problem_; }
    void close() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
        size_ = 0;
        taken_ = 0;
    }

    // Reads up to n bytes straight into out with one call; returns how many
    // arrived (fewer at the end of the file or on an error).
    std::size_t read(void* out, std::size_t n) {
        if (n == 0) return 0;
        std::size_t got = std::fread(out, 1, n, file_);
        taken_ += got;
        return got;
    }

    std::uint64_t size() const { return size_; }
    // Bytes the file still holds after what was read. A file that grew while
    // it was read counts as having none left over what its size said.
    std::uint64_t remaining() const { return taken_ < size_ ? size_ - taken_ : 0; }

  private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t taken_ = 0;
    InputProblem problem_ = InputProblem::None;
};
