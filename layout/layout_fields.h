// The primitives every record of a layout file (".anl") is built from, and
// the two field walkers that let one description of a record's bytes drive
// both its reader and its writer.
//
// Encoding of the whole file: little-endian, fields without gaps.
//   i16   signed 16-bit integer        i32   signed 32-bit integer
//   u8    unsigned byte                f32   IEEE-754 single, moved as its bit pattern
//   text  counted string: one u8 length n, then n bytes, no terminator (n <= 255)
//
// Many fields are stored two or three times. The first copy is read, every
// later copy is verified against it; a layout that loads therefore has
// agreeing copies, and saving writes all copies from the one value in memory.
#pragma once

#include "common/bytes.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A point in the layout's length unit (centimetres).
struct Point3 {
    std::int32_t x = 0; // cm
    std::int32_t y = 0; // cm
    std::int32_t z = 0; // cm, the height
};

// A direction vector (unitless), as single-precision floats.
struct Vector3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// The longest text a counted string can hold.
inline constexpr std::size_t MaxCountedText = 255;

// Shows "%s: Text zu lang!\n" naming a text too long for a counted string;
// returns false. The save that met it writes nothing.
bool refuseLongText(const std::string& text);

// Verifying reads: read one stored copy and compare it with the value memory
// already holds. True when equal. On a difference the numeric ones print a
// console line through consoleLine() with the value read (I) and the one
// expected (S); texts print nothing:
//   expectInt16, expectInt32  "I: %d S: %d\n"            signed
//   expectByte                "I: %d S: %d\n"            0..255
//   expectFloat               "I: %f S: %f Diff: %e\n"   read - expected
// Floats agree only when their bit patterns agree: then every file that loads
// saves back byte for byte. So -0.0 differs from 0.0, and a NaN copy agrees
// with the identical NaN pattern.
// A copy that cannot be read because the file has ended is a difference; the
// line then shows 0 as the value read (what the reader yields past the end).
// expectString compares the length byte with the text's length modulo 256
// first and reads the text bytes only when those agree.
bool expectString(ByteReader& r, std::string_view expected);

namespace layoutfields {

// The console lines of the verifying reads, for the differences.
bool differentInt(std::int32_t read, std::int32_t expected);
bool differentFloat(float read, float expected);

} // namespace layoutfields

// Most copies agree: the comparison is inline, the complaint is not.
inline bool expectInt16(ByteReader& r, std::int16_t expected) {
    const std::int16_t v = r.i16();
    return (!r.failed() && v == expected) || layoutfields::differentInt(v, expected);
}
inline bool expectInt32(ByteReader& r, std::int32_t expected) {
    const std::int32_t v = r.i32();
    return (!r.failed() && v == expected) || layoutfields::differentInt(v, expected);
}
inline bool expectByte(ByteReader& r, std::uint8_t expected) {
    const std::uint8_t v = r.u8();
    return (!r.failed() && v == expected) || layoutfields::differentInt(v, expected);
}
inline bool expectFloat(ByteReader& r, float expected) {
    const float v = r.f32();
    return (!r.failed() &&
            std::bit_cast<std::uint32_t>(v) == std::bit_cast<std::uint32_t>(expected)) ||
           layoutfields::differentFloat(v, expected);
}

// Flips the sign bit alone, so that every pattern (NaN payloads, -0.0) comes
// back unchanged when flipped twice. Objects store their direction's y this way.
inline float flipSign(float v) {
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(v) ^ 0x80000000u);
}

// Field walkers. A record's layout is written once as a function template
//
//     template <class R, class V> void walkX(R& record, V& v)
//
// that names each field in file order:
//   v.value(field)    a field stored here (read, or verified inside a copy)
//   v.again(field)    a later copy of a field read earlier (always verified)
//   v.zero16(), v.zero32()   a word that is always 0 (verified)
//   v.negated(field)  a float stored with its sign inverted
//   v.copy([&] { ... })   a block of copies: inside it every value is verified
// FieldReader walks it over a ByteReader and stops at the first difference
// (later fields are not touched, so exactly one console line is printed);
// FieldWriter walks it over a ByteWriter, every copy from the same value;
// FieldSizer counts the bytes FieldWriter would append.

namespace layoutfields {

inline void readValue(ByteReader& r, std::int16_t& v) {
    v = r.i16();
}
inline void readValue(ByteReader& r, std::int32_t& v) {
    v = r.i32();
}
inline void readValue(ByteReader& r, std::uint8_t& v) {
    v = r.u8();
}
inline void readValue(ByteReader& r, float& v) {
    v = r.f32();
}
inline void readValue(ByteReader& r, std::string& v) {
    const std::uint8_t n = r.u8();
    v.assign(r.view(n));
}

inline bool expectValue(ByteReader& r, std::int16_t v) {
    return expectInt16(r, v);
}
inline bool expectValue(ByteReader& r, std::int32_t v) {
    return expectInt32(r, v);
}
inline bool expectValue(ByteReader& r, std::uint8_t v) {
    return expectByte(r, v);
}
inline bool expectValue(ByteReader& r, float v) {
    return expectFloat(r, v);
}
inline bool expectValue(ByteReader& r, const std::string& v) {
    return expectString(r, v);
}

} // namespace layoutfields

class FieldReader {
  public:
    explicit FieldReader(ByteReader& r) : r_(r) {}

    // False once a copy disagreed (or could not be read).
    bool ok() const { return ok_; }

    template <class T>
    void value(T& v) {
        if (!ok_) return;
        if (verifying_)
            ok_ = layoutfields::expectValue(r_, v);
        else
            layoutfields::readValue(r_, v);
    }
    template <class T>
    void again(const T& v) {
        if (ok_) ok_ = layoutfields::expectValue(r_, v);
    }
    void zero16() { again(std::int16_t{0}); }
    void zero32() { again(std::int32_t{0}); }
    void negated(float& v) {
        if (!ok_) return;
        if (verifying_)
            ok_ = expectFloat(r_, flipSign(v));
        else
            v = flipSign(r_.f32());
    }
    template <class Walk>
    void copy(Walk&& walk) {
        const bool outer = verifying_;
        verifying_ = true;
        walk();
        verifying_ = outer;
    }

  private:
    ByteReader& r_;
    bool verifying_ = false;
    bool ok_ = true;
};

// Collects a record's fields in a small block of its own and appends the
// block to the ByteWriter when it fills and when the walker goes out of scope:
// appending field by field to a byte vector costs more than the rest of
// writing together. So nothing else may write to the same ByteWriter while a
// FieldWriter on it lives.
class FieldWriter {
  public:
    explicit FieldWriter(ByteWriter& w) : w_(w) {}
    ~FieldWriter() { flush(); }
    FieldWriter(const FieldWriter&) = delete;
    FieldWriter& operator=(const FieldWriter&) = delete;

    // False when a text was too long for its length byte; tooLong() names it.
    bool ok() const { return tooLong_ == nullptr; }
    const std::string* tooLong() const { return tooLong_; }

    void value(std::int16_t v) { word(static_cast<std::uint16_t>(v), 2); }
    void value(std::int32_t v) { word(static_cast<std::uint32_t>(v), 4); }
    void value(std::uint8_t v) { word(v, 1); }
    void value(float v) { word(std::bit_cast<std::uint32_t>(v), 4); }
    void value(const std::string& v) {
        if (v.size() > MaxCountedText) {
            if (!tooLong_) tooLong_ = &v;
            return;
        }
        word(static_cast<std::uint8_t>(v.size()), 1);
        put(v.data(), v.size());
    }
    template <class T>
    void again(const T& v) {
        value(v);
    }
    void zero16() { word(0, 2); }
    void zero32() { word(0, 4); }
    void negated(float v) { value(flipSign(v)); }
    template <class Walk>
    void copy(Walk&& walk) {
        walk();
    }

  private:
    // The low n bytes of v, least significant first.
    void word(std::uint32_t v, std::size_t n) {
        if (n > sizeof block_ - used_) flush();
        for (std::size_t i = 0; i < n; ++i)
            block_[used_ + i] = static_cast<std::uint8_t>(v >> (8 * i));
        used_ += n;
    }
    void put(const char* p, std::size_t n) {
        if (n > sizeof block_ - used_) flush();
        std::memcpy(block_ + used_, p, n);
        used_ += n;
    }
    void flush() {
        w_.bytes(block_, used_);
        used_ = 0;
    }

    ByteWriter& w_;
    const std::string* tooLong_ = nullptr;
    std::size_t used_ = 0;
    std::uint8_t block_[512];
};

// Walks a description like FieldWriter and only counts its bytes. A text
// longer than 255 bytes, which FieldWriter refuses, counts with the size it
// would take.
class FieldSizer {
  public:
    std::size_t size() const { return size_; }

    void value(std::int16_t) { size_ += 2; }
    void value(std::int32_t) { size_ += 4; }
    void value(std::uint8_t) { size_ += 1; }
    void value(float) { size_ += 4; }
    void value(const std::string& v) { size_ += 1 + v.size(); }
    template <class T>
    void again(const T& v) {
        value(v);
    }
    void zero16() { size_ += 2; }
    void zero32() { size_ += 4; }
    void negated(float v) { value(v); }
    template <class Walk>
    void copy(Walk&& walk) {
        walk();
    }

  private:
    std::size_t size_ = 0;
};
