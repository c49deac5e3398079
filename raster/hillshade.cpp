#include "raster/hillshade.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

struct RampStop {
    double at;
    ReliefColour colour;
};
constexpr RampStop Ramp[] = {{0.00, {60, 120, 60}},
                             {0.25, {130, 170, 90}},
                             {0.50, {215, 205, 135}},
                             {0.75, {165, 125, 85}},
                             {1.00, {245, 245, 245}}};

// The slope between the neighbours, or towards the one there is. The
// differences stay in float: the preview's pictures were made that way.
double slope(float before, float here, float after, double step) {
    if (!std::isnan(before) && !std::isnan(after)) return (after - before) / (2 * step);
    if (!std::isnan(after)) return (after - here) / step;
    if (!std::isnan(before)) return (here - before) / step;
    return 0.0;
}

// v rounded half away from zero, as std::lround, for the channel values
// here (0 .. 255 and the factor's 1.3 times that): the fraction of a
// non-negative double is exact, so the comparison with 0.5 is. The library
// call took a third of the time of shading a large terrain.
long roundChannel(double v) {
    if (!(v >= 0.0 && v < 1e9)) return std::lround(v);
    const auto whole = static_cast<long>(v);
    return v - static_cast<double>(whole) >= 0.5 ? whole + 1 : whole;
}

} // namespace

void shadeRow(const float* north, const float* here, const float* south, std::size_t columns,
              double step, double* factors) {
    const double lx = -0.5, ly = 0.5, lz = std::sqrt(0.5); // unit vector to the light
    const float none = std::nanf("");
    for (std::size_t c = 0; c < columns; ++c) {
        if (std::isnan(here[c])) {
            factors[c] = std::nan("");
            continue;
        }
        const float west = c > 0 ? here[c - 1] : none;
        const float east = c + 1 < columns ? here[c + 1] : none;
        double dzdx = slope(west, here[c], east, step);
        // y grows to the north.
        double dzdy = slope(south ? south[c] : none, here[c], north ? north[c] : none, step);
        dzdx *= ShadeExaggeration;
        dzdy *= ShadeExaggeration;
        const double len = std::sqrt(dzdx * dzdx + dzdy * dzdy + 1.0);
        const double lit = (-dzdx * lx - dzdy * ly + lz) / len;
        factors[c] = std::clamp(0.3 + 0.7 * lit / lz, 0.25, 1.3);
    }
}

ReliefColour rampColour(double t) {
    if (!(t > 0.0)) return Ramp[0].colour;
    for (std::size_t k = 1; k < std::size(Ramp); ++k) {
        if (t <= Ramp[k].at) {
            const double f = (t - Ramp[k - 1].at) / (Ramp[k].at - Ramp[k - 1].at);
            const ReliefColour a = Ramp[k - 1].colour, b = Ramp[k].colour;
            auto mix = [f](std::uint8_t x, std::uint8_t y) {
                return static_cast<std::uint8_t>(roundChannel(x + (y - x) * f));
            };
            return {mix(a.red, b.red), mix(a.green, b.green), mix(a.blue, b.blue)};
        }
    }
    return Ramp[std::size(Ramp) - 1].colour;
}

ReliefColour shadedColour(ReliefColour colour, double factor) {
    auto s = [factor](std::uint8_t v) {
        return static_cast<std::uint8_t>(std::clamp(roundChannel(v * factor), 0L, 255L));
    };
    return {s(colour.red), s(colour.green), s(colour.blue)};
}
