#pragma once

#include <string>
#include <vector>

// Labelled ticks of a plot axis at round values, shared by the window's axes and anything else
// that labels a drawn plot.

struct AxisTick {
    double value = 0.0;
    int pixel = 0;     // offset from the axis origin, 0 .. pixels
    std::string label; // the value with as many decimals as the step needs, then the unit
};

// Ticks at the multiples of the smallest step of 1, 2 or 5 times a power of ten that keeps
// neighbouring ticks at least minSpacing pixels apart, for an axis showing first at pixel 0 and
// last at pixel `pixels`. Empty when the axis is empty, reversed or not finite, or no step fits.
std::vector<AxisTick> roundTicks(double first, double last, int pixels, int minSpacing,
                                 const char* unit);
