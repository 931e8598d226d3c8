#pragma once

// What opening a sound sets before the user changes anything, the same for the window, the
// command line, Python, transcript import and memo interchange: normal sense mode, a transform
// of 2048 samples up to 22049 Hz and of 4096 above, a hop of 512 samples, as many frames as the
// window holds after one transform and a hop, noise 0.0005, and the plot ranges 0 .. 6000 Hz
// and -130 .. 0 dB (0 .. 8000 Hz and -160 .. 0 dB above 22049 Hz).
struct OpeningDefaults {
    long ssftSize = 0;
    long interval = 0;
    long repeatTimes = 0; // below 1 when the window is too short for a frame
    float noiseParameter = 0.0f;
    long freqLow = 0, freqHigh = 0;
    double dbLow = 0.0, dbHigh = 0.0;
};

OpeningDefaults openingDefaults(long sampleRate, long windowLength);
