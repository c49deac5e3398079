// Shaded relief: heights on a colour ramp, lit from the north-west. The
// preview draws terrains with it, and the converter paints it where no
// picture covers the terrain, so both show the same ground the same way.
//
// Heights lie on a row-major grid of equal steps in both directions, rows
// running south, NaN where there is no height. The slope at a point is taken
// over one step each way (one-sided where a neighbour is missing, flat where
// both are), exaggerated ShadeExaggeration times so that gentle slopes
// still show; the light falls from the north-west at 45 degrees. The factor
// is 1 on flat ground, below 1 on slopes turned from the light and above 1
// on those facing it, within 0.25 .. 1.3.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr double ShadeExaggeration = 5.0;

struct ReliefColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The shade factors of one row of `columns` heights: `north` and `south`
// are the rows beside it (null at the grid's edge), `step` the distance of
// neighbouring points in the unit of the heights. factors[c] is NaN where
// here[c] is NaN.
void shadeRow(const float* north, const float* here, const float* south, std::size_t columns,
              double step, double* factors);

// The colour ramp of heights: t = 0 the lowest, 1 the highest (green over
// yellow and brown to white); outside 0 .. 1 the end colours.
ReliefColour rampColour(double t);

// A colour times a shade factor, each channel rounded and held to 0 .. 255.
ReliefColour shadedColour(ReliefColour colour, double factor);
