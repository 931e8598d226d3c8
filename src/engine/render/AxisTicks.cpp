#include "engine/render/AxisTicks.h"

#include <cmath>
#include <cstdio>

std::vector<AxisTick> roundTicks(double first, double last, int pixels, int minSpacing,
                                 const char* unit) {
    std::vector<AxisTick> ticks;
    const double span = last - first;
    if (!std::isfinite(first) || !std::isfinite(last) || !(span > 0.0) || pixels <= 0 ||
        minSpacing <= 0)
        return ticks;
    // The smallest round step whose pixel distance is at least minSpacing.
    const double wanted = span * minSpacing / pixels;
    double decade = std::pow(10.0, std::floor(std::log10(wanted)));
    double step = 0.0;
    for (int tries = 0; tries < 3 && step == 0.0; ++tries, decade *= 10.0)
        for (double m : {1.0, 2.0, 5.0})
            if (m * decade >= wanted * (1.0 - 1e-9)) {
                step = m * decade;
                break;
            }
    if (step == 0.0)
        return ticks;
    const int decimals = step >= 1.0 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    for (double k = std::ceil(first / step - 1e-9); k * step <= last + step * 1e-9; k += 1.0) {
        const double value = k * step;
        AxisTick tick;
        tick.value = value;
        tick.pixel = int(std::lround((value - first) * pixels / span));
        char text[64];
        std::snprintf(text, sizeof text, "%.*f%s", decimals, value == 0.0 ? 0.0 : value, unit);
        tick.label = text;
        ticks.push_back(tick);
        if (ticks.size() > 1000)
            break; // cannot happen with minSpacing >= 1; a guard against a runaway loop
    }
    return ticks;
}
