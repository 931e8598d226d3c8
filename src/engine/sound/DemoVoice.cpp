#include "engine/sound/DemoVoice.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Formant frequencies and bandwidths (Hz) of five vowels of an adult voice.
struct Vowel {
    double f[4];
    double bw[4];
};
constexpr Vowel kVowels[] = {
    {{730, 1090, 2440, 3400}, {90, 110, 170, 250}}, // a
    {{270, 2290, 3010, 3700}, {60, 100, 170, 250}}, // i
    {{300, 870, 2240, 3300}, {70, 100, 170, 250}},  // u
    {{530, 1840, 2480, 3500}, {70, 100, 170, 250}}, // e
    {{570, 840, 2410, 3400}, {80, 100, 170, 250}},  // o
};

// Two-pole resonator with unit gain at DC, retuned every sample as the formants glide.
struct Resonator {
    double y1 = 0.0, y2 = 0.0;
    double step(double x, double freq, double bandwidth, double rate) {
        const double r = std::exp(-kPi * bandwidth / rate);
        const double c = -r * r;
        const double b = 2.0 * r * std::cos(2.0 * kPi * freq / rate);
        const double a = 1.0 - b - c;
        const double y = a * x + b * y1 + c * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Rosenberg glottal pulse over one period, phase in [0, 1).
double glottalPulse(double phase) {
    const double open = 0.4, closing = 0.16;
    if (phase < open)
        return 0.5 * (1.0 - std::cos(kPi * phase / open));
    if (phase < open + closing)
        return std::cos(0.5 * kPi * (phase - open) / closing);
    return 0.0;
}

} // namespace

std::vector<int16_t> synthesizeDemoVoice(int32_t sampleRate, double seconds) {
    const double rate = sampleRate > 0 ? sampleRate : 44100;
    const size_t n = static_cast<size_t>(std::max(0.0, seconds) * rate);
    std::vector<double> voice(n);

    // Phrases of 2.4 s with 0.6 s pauses; each phrase walks through vowels, 0.3 s apiece.
    const double phrase = 2.4, pause = 0.6, syllable = 0.3;
    Resonator formants[4];
    double phase = 0.0;
    uint32_t noise = 12345;
    double previousPulse = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = i / rate;
        const double inCycle = std::fmod(t, phrase + pause);
        const int phraseNo = static_cast<int>(t / (phrase + pause));
        double amplitude = 0.0;
        if (inCycle < phrase) {
            const double edge = std::min(inCycle, phrase - inCycle);
            amplitude = std::min(1.0, edge / 0.05); // soft onset and release
        }

        // Falling declination with a rise on every syllable, different per phrase.
        const double f0 = 95.0 + 25.0 * (phraseNo % 3) + 40.0 * (1.0 - inCycle / phrase) +
                          15.0 * std::sin(2.0 * kPi * inCycle / syllable);
        phase += f0 / rate;
        if (phase >= 1.0)
            phase -= 1.0;
        const double pulse = glottalPulse(phase);
        double source = pulse - previousPulse; // lip radiation: the derivative
        previousPulse = pulse;
        noise = noise * 1664525u + 1013904223u;
        source += 0.002 * ((noise >> 8) / 16777216.0 - 0.5); // a breath of aspiration

        // Glide between this syllable's vowel and the next over the last third of it.
        const double s = inCycle / syllable;
        const int k = static_cast<int>(s) + phraseNo;
        const Vowel& from = kVowels[k % 5];
        const Vowel& to = kVowels[(k + 1) % 5];
        const double frac = s - std::floor(s);
        const double mix = frac < 0.66 ? 0.0 : (frac - 0.66) / 0.34;
        double y = source * amplitude;
        for (int f = 0; f < 4; ++f) {
            const double freq = from.f[f] + (to.f[f] - from.f[f]) * mix;
            const double bw = from.bw[f] + (to.bw[f] - from.bw[f]) * mix;
            y = formants[f].step(y, std::min(freq, 0.45 * rate), bw, rate);
        }
        voice[i] = y;
    }

    // Peaks at a comfortable 70 % of full scale.
    double peak = 0.0;
    for (double v : voice)
        peak = std::max(peak, std::fabs(v));
    const double gain = peak > 0.0 ? 0.7 * 32767.0 / peak : 0.0;
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<int16_t>(std::lround(voice[i] * gain));
    return out;
}
