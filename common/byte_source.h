// ByteSource: the bytes of one input, read at any offset. Every reader
// parses through it, so that a small file, an input the fuzz targets make up
// in memory and a file of many gigabytes (BigTIFF, archives) take the same
// path through the parser:
//
//   MemorySource  a span of memory the caller keeps alive (fuzz inputs,
//                 bytes already loaded);
//   FileSource    an open regular file, read by positional reads (nothing
//                 of the file is held; two readers of one source never
//                 disturb each other's position).
//
// A source knows only bytes; the name the messages show travels beside it.
// size() is a fact the readers compare a header's claims with before they
// allocate: for a file it is the size the file system told at the opening.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

class ByteSource {
  public:
    ByteSource() = default;
    virtual ~ByteSource() = default;
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // The bytes the source holds.
    virtual std::uint64_t size() const = 0;

    // Copies up to n bytes from offset on into out; returns how many arrived.
    // Fewer than n at the end of the source (none from an offset at or past
    // it), or when a read of the file fails: then readFailed() is set.
    virtual std::size_t readSome(std::uint64_t offset, std::size_t n, void* out) const = 0;

    // Exactly n bytes at offset into out; false when the source does not
    // hold them all or a read fails.
    [[nodiscard]] bool read(std::uint64_t offset, std::size_t n, void* out) const {
        return readSome(offset, n, out) == n;
    }

    // The n bytes at offset as a span: straight into the memory of a memory
    // source (buffer untouched), else read into buffer (valid until buffer
    // changes). An empty span when the source does not hold them all or a
    // read fails.
    std::span<const std::uint8_t> view(std::uint64_t offset, std::size_t n,
                                       std::vector<std::uint8_t>& buffer) const;

    // True once a read of the file has failed (not merely met the end).
    bool readFailed() const { return readFailed_; }

    // True for a file on a disk: only there can files beside the input (an
    // ASCII grid's ".prj") be found.
    virtual bool isFile() const { return false; }

  protected:
    // The memory of a memory source, null for a file.
    virtual const std::uint8_t* memory() const { return nullptr; }
    mutable bool readFailed_ = false;
};

class MemorySource final : public ByteSource {
  public:
    MemorySource(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    explicit MemorySource(std::span<const std::uint8_t> bytes)
        : MemorySource(bytes.data(), bytes.size()) {}

    std::uint64_t size() const override { return size_; }
    std::size_t readSome(std::uint64_t offset, std::size_t n, void* out) const override;

  private:
    const std::uint8_t* memory() const override { return data_; }
    const std::uint8_t* data_;
    std::size_t size_;
};

class FileSource final : public ByteSource {
  public:
    FileSource() = default;
    ~FileSource() override { close(); }

    // Opens a regular file and learns its size; shows nothing. None, or why
    // not (common/file_messages.h says it): CannotOpen also when the size
    // cannot be told, NotAFile for a device, FIFO or socket (never waited
    // on).
    [[nodiscard]] InputProblem open(std::string_view path);
    void close();

    std::uint64_t size() const override { return size_; }
    std::size_t readSome(std::uint64_t offset, std::size_t n, void* out) const override;
    bool isFile() const override { return file_ != nullptr; }

  private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
};

// The whole source, at most maxBytes of it, as a span (see view). None, or
// the problem: TooLarge beyond maxBytes, ReadFailed when not every byte
// arrived.
InputProblem wholeSource(const ByteSource& source, std::uint64_t maxBytes,
                         std::vector<std::uint8_t>& buffer, std::span<const std::uint8_t>& bytes);
