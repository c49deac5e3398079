// Little-endian byte primitives shared by every binary format of the system:
// the layout file, the model file and the raster headers. The preview picture
// (PNG), the SRTM tiles and half of all TIFF files store their numbers
// big-endian: the getters ending in "be".
//
// ByteReader walks an in-memory span. Its error state is sticky: a read that
// would run past the end returns 0, leaves the position where it was and makes
// every later read fail too, so a caller reads a whole record and tests
// failed() once. No other code touches raw file bytes.
//
// ByteWriter mirrors it and appends to a byte vector; the whole file image is
// built first and handed to the platform layer in one piece. ByteCursor
// writes the same encodings into an image sized beforehand.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class ByteReader {
  public:
    ByteReader() = default;
    ByteReader(const void* data, std::size_t size)
        : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}

    std::size_t position() const { return pos_; }
    std::size_t size() const { return size_; }
    std::size_t remaining() const { return size_ - pos_; }
    bool failed() const { return failed_; }
    bool atEnd() const { return pos_ == size_; }

    // True when n more bytes can be read. Written as "n <= size - pos" so that
    // a huge n cannot wrap around (pos <= size always holds).
    bool has(std::size_t n) const { return !failed_ && n <= size_ - pos_; }

    std::uint8_t u8() {
        std::uint8_t v = 0;
        take(&v, 1);
        return v;
    }
    std::uint16_t u16() {
        std::uint8_t b[2] = {};
        if (!take(b, 2)) return 0;
        return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
    }
    std::uint32_t u32() {
        std::uint8_t b[4] = {};
        if (!take(b, 4)) return 0;
        return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
               (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    // The whole width is checked first: a value cut short must not move the
    // position by the half that is there.
    std::uint64_t u64() {
        if (!claim(8)) return 0;
        const std::uint64_t lo = u32();
        return lo | (std::uint64_t{u32()} << 32);
    }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint16_t u16be() {
        std::uint8_t b[2] = {};
        if (!take(b, 2)) return 0;
        return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
    }
    std::uint32_t u32be() {
        std::uint8_t b[4] = {};
        if (!take(b, 4)) return 0;
        return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
               (static_cast<std::uint32_t>(b[2]) << 8) | static_cast<std::uint32_t>(b[3]);
    }
    std::uint64_t u64be() {
        if (!claim(8)) return 0;
        const std::uint64_t hi = u32be();
        return (hi << 32) | u32be();
    }
    std::int16_t i16be() { return static_cast<std::int16_t>(u16be()); }
    // Floats move by bit copy, so every pattern (NaN payloads, -0.0) survives.
    float f32() { return std::bit_cast<float>(u32()); }
    double f64() { return std::bit_cast<double>(u64()); }
    float f32be() { return std::bit_cast<float>(u32be()); }
    double f64be() { return std::bit_cast<double>(u64be()); }
    // Moves to an absolute position; fails (sticky) beyond the end.
    bool seek(std::size_t pos) {
        if (failed_ || pos > size_) {
            failed_ = true;
            return false;
        }
        pos_ = pos;
        return true;
    }
    // Copies n bytes; on failure nothing is copied and the reader fails.
    bool bytes(void* out, std::size_t n) { return take(out, n); }
    // A view of the next n bytes (empty and failed when they are not there).
    std::string_view view(std::size_t n) {
        if (!claim(n)) return {};
        std::string_view v(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return v;
    }
    bool skip(std::size_t n) {
        if (!claim(n)) return false;
        pos_ += n;
        return true;
    }

  private:
    // True when n more bytes are there; otherwise the reader fails.
    bool claim(std::size_t n) {
        if (!has(n)) failed_ = true;
        return !failed_;
    }
    bool take(void* out, std::size_t n) {
        if (!claim(n)) return false;
        if (n != 0) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

// The little-endian (and one big-endian) encodings of ByteWriter and
// ByteCursor. Sink provides bytes(p, n), which stores n bytes where the next
// ones go.
template <class Sink>
class ByteEncoder {
  public:
    void u8(std::uint8_t v) { sink().bytes(&v, 1); }
    void u16(std::uint16_t v) {
        std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        sink().bytes(b, 2);
    }
    void u32(std::uint32_t v) {
        std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16),
                             static_cast<std::uint8_t>(v >> 24)};
        sink().bytes(b, 4);
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void u16be(std::uint16_t v) {
        std::uint8_t b[2] = {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
        sink().bytes(b, 2);
    }
    void f32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void f64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        u64(bits);
    }

  private:
    Sink& sink() { return static_cast<Sink&>(*this); }
};

class ByteWriter : public ByteEncoder<ByteWriter> {
  public:
    ByteWriter() = default;
    // Writes into a vector whose memory is reused: its content is dropped,
    // its capacity kept. Take it back with buffer() when done.
    explicit ByteWriter(std::vector<std::uint8_t>&& reuse) : buf_(std::move(reuse)) {
        buf_.resize(buf_.capacity());
    }
    // The bytes written so far (the vector is cut to them first; that does
    // not change what was written, hence const too).
    std::vector<std::uint8_t>& buffer() {
        buf_.resize(len_);
        return buf_;
    }
    const std::vector<std::uint8_t>& buffer() const {
        buf_.resize(len_);
        return buf_;
    }
    const std::uint8_t* data() const { return buf_.data(); }
    std::size_t size() const { return len_; }
    void reserve(std::size_t n) {
        if (buf_.size() < n) buf_.resize(n);
    }

    void bytes(const void* p, std::size_t n) {
        if (n == 0) return;
        room(n);
        std::memcpy(buf_.data() + len_, p, n);
        len_ += n;
    }

  private:
    // The vector is kept larger than what was written (len_), so that a
    // small write is a copy and not a resize.
    void room(std::size_t n) {
        if (buf_.size() - len_ < n)
            buf_.resize(std::max<std::size_t>({2 * buf_.size(), len_ + n, 256}));
    }

    mutable std::vector<std::uint8_t> buf_;
    std::size_t len_ = 0;
};

// Writes into memory sized beforehand, for a file image whose length its
// counts tell: no growth and no copy. A write that would run past the end
// writes nothing and makes the cursor fail for good, as the reader does; a
// writer that sized its image right ends with atEnd() and not failed().
class ByteCursor : public ByteEncoder<ByteCursor> {
  public:
    ByteCursor(std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool failed() const { return failed_; }
    bool atEnd() const { return !failed_ && pos_ == size_; }
    std::size_t position() const { return pos_; }

    void bytes(const void* p, std::size_t n) {
        if (n > size_ - pos_) return fail();
        if (n != 0) std::memcpy(data_ + pos_, p, n);
        pos_ += n;
    }
    // The next n bytes as a cursor of their own, for a record of a fixed
    // size: one test for the record, and inside it none that the compiler
    // cannot prove. Past the end it fails, and so does the record.
    ByteCursor take(std::size_t n) {
        if (n > size_ - pos_) {
            fail();
            ByteCursor none(nullptr, 0);
            none.failed_ = true;
            return none;
        }
        pos_ += n;
        return ByteCursor(data_ + pos_ - n, n);
    }

  private:
    // Nothing more fits after a failure: only writes of nothing do.
    void fail() {
        failed_ = true;
        pos_ = size_;
    }

    std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};
