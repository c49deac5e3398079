#include "layout/layout_fields.h"

#include "common/message.h"

#include <cstring>

bool refuseLongText(const std::string& text) {
    return report("%s: Text zu lang!\n", text.c_str()) != 0;
}

bool expectString(ByteReader& r, std::string_view expected) {
    const std::uint8_t n = r.u8();
    if (r.failed() || n != static_cast<std::uint8_t>(expected.size())) return false;
    const std::string_view stored = r.view(n);
    return !r.failed() && stored == expected.substr(0, n);
}

bool layoutfields::differentInt(std::int32_t read, std::int32_t expected) {
    consoleLine("I: %d S: %d\n", read, expected);
    return false;
}

bool layoutfields::differentFloat(float read, float expected) {
    const double a = read;
    const double b = expected;
    consoleLine("I: %f S: %f Diff: %e\n", a, b, a - b);
    return false;
}
