#pragma once

// What lies under the pointer on a drawn plot, found by running the drawing arithmetic
// backwards. Plain numbers in and out, so a readout can be checked with known geometry. Every
// plot fills the plot area 2 pixels inside the picture's edges; W and H below are the size of
// the picture as it was drawn.

// Columns of the voiceprint picture in a plot w wide: w x T x I / (T x I + 2 x bins), truncated
// (the frames' starts span T x I samples and the last frame reaches 2 x bins further); 0 when
// any input is not positive.
long voiceprintColumns(int w, long frames, long bins, long interval);

// A drawn voiceprint: its frames, bins, hop (interval), the sound's rate and the frequency
// limits it shows.
struct VoiceprintGeometry {
    int width = 0, height = 0;
    long frames = 0, bins = 0, interval = 0, sampleRate = 0;
    long freqLow = 0, freqHigh = 0;
};
struct VoiceprintPoint {
    bool onPicture = false; // false beside the centred picture or outside the plot area
    long frame = 0;         // the frame the column starts in (t0 of the bilinear read)
    long bin = 0;           // the bin the row starts in (k0)
    long sampleOffset = 0;  // samples from the stretch's start: column x T x I / columns
    double freq = 0.0;      // Hz of the pointer's row: low + r x (top - low) / h
};
// The picture's column c = x - (2 + (w - cols) / 2) shows frame c x T / cols; row r = H - 2 - y
// (0 at the bottom of the plot area) shows bin r x binsPerRow + low / HzPerBin, as the panel
// draws them (top = min(rate / 2, high), low = max(low, 0)).
VoiceprintPoint voiceprintPointAt(const VoiceprintGeometry& g, int x, int y);

// The level plot: m_levelCount bins drawn from index m_rangeFrom up to m_rangeTo (exclusive)
// across the plot width; sampleRate gives each bin's frequency (rate x 0.5 / count per bin).
struct LevelGeometry {
    int width = 0, height = 0;
    long count = 0, from = 0, to = 0, sampleRate = 0;
};
struct LevelPoint {
    bool onPlot = false;
    long index = 0;    // from + (x - 2) x (to - from) / w, truncated
    double freq = 0.0; // index x rate x 0.5 / count
};
LevelPoint levelPointAt(const LevelGeometry& g, int x, int y);

// A waveform (or the overview) of `count` samples across the plot width: the sample drawn at
// column x is (x - 2) x count / (W - 4), truncated; -1 outside the plot area.
long waveIndexAt(int width, int height, long count, int x, int y);
