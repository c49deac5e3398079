// Number conversions as the original x86 platform performs them, without
// undefined behaviour in C++.
#pragma once

#include <cstdint>

// Truncation toward zero into 32 bits. A value that does not fit (or NaN)
// gives -2147483648, the "integer indefinite" value of the x86 conversion.
inline std::int32_t truncToInt32(double v) {
    if (v > -2147483649.0 && v < 2147483648.0) return static_cast<std::int32_t>(v);
    return INT32_MIN;
}

// 32-bit sums that wrap around as two's complement.
inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}
inline std::int32_t wrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
