// Number conversions as the original x86 platform performs them, without
// undefined behaviour in C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

// Truncation toward zero into 32 bits. A value that does not fit (or NaN)
// gives -2147483648, the "integer indefinite" value of the x86 conversion.
inline std::int32_t truncToInt32(double v) {
    if (v > -2147483649.0 && v < 2147483648.0) return static_cast<std::int32_t>(v);
    return INT32_MIN;
}

// Rounding to single precision as the hardware does it (to nearest), also for
// values beyond the float range: those become the largest float or infinity
// where C++ leaves the conversion undefined. NaN stays NaN.
inline float toSingle(double v) {
    // From 2^128 - 2^103 on, rounding to nearest gives infinity; below it the
    // largest float, 2^128 - 2^104, is the nearest.
    constexpr double Overflow = 340282356779733661637539395458142568448.0;
    constexpr double Largest = 340282346638528859811704183484516925440.0;
    if (v >= Overflow) return std::numeric_limits<float>::infinity();
    if (v <= -Overflow) return -std::numeric_limits<float>::infinity();
    if (v > Largest) return static_cast<float>(Largest);
    if (v < -Largest) return -static_cast<float>(Largest);
    return static_cast<float>(v);
}

// 32-bit sums and products that wrap around as two's complement.
inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// a × b for sizes read from files: false (and out 0) when the product does
// not fit, so no count or dimension can wrap around into a small allocation.
inline bool checkedMul(std::size_t a, std::size_t b, std::size_t& out) {
    if (a != 0 && b > SIZE_MAX / a) {
        out = 0;
        return false;
    }
    out = a * b;
    return true;
}
