#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/sound/AnalysedChannel.h"

// One opened sound: its format, a cache of samples read from the file, a decimated overview
// of the whole file, the analysis window (channel 1 as doubles and as 16-bit integers), the
// view position and the plot ranges.
//
// Sample counts and positions count samples per channel from the start of the data chunk.
// Of a stereo file, m_cache1, m_overview1, m_max and m_min (and so the window) hold the channel
// m_analysedChannel chooses; m_cache2 and m_overview2 the file's second channel.
// The RIFF/WAVE file is read chunk by chunk: a "fmt?" chunk of at least 16 bytes (plain PCM, or
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format), then a "data" chunk; any other chunk before,
// between or after them (LIST, JUNK, bext, fact, cue, ...) is skipped with its pad byte. The
// canonical 44-byte layout is the case of no other chunk.
//
// The data arrays are public because the panels borrow them; they stay owned by this object.
// Not thread safe; the file stays open until the object is destroyed.
class CWavPara {
public:
    enum resultWavPara {
        resultOK = 0,
        resultNoMemory = 1,     // a buffer or the path copy cannot be allocated
        resultReadError = 2,    // cannot open, tag mismatch, short header, data read failed
        resultNoSampleFreq = 3, // setRangeXY on a sound without a usable sampling frequency
        resultChannelCount = 4, // channel count other than 1 or 2
        resultQuantBit = 5,     // bits per sample other than 16
        resultNotPcm = 6        // a format other than integer PCM (float, compressed)
    };
    enum ChannelSelect { firstChannel = 1, secondChannel = 2 };

    static constexpr int32_t kHeaderBytes = 44; // of the canonical layout
    static constexpr int32_t kDefaultWindowMax = 441000;
    static constexpr int32_t kDefaultCacheLen = 13230000; // five minutes at 44.1 kHz
    // Keeps m_readBufBytes (cache length × 4 for stereo) inside 32 bits.
    static constexpr int32_t kMaxCacheLen = 0x7FFFFFFF / 4;

    // cacheLen is clamped to [1, kMaxCacheLen]; small values let tests exercise cache refills.
    explicit CWavPara(int windowMax = kDefaultWindowMax, int cacheLen = kDefaultCacheLen);
    virtual ~CWavPara();
    CWavPara(const CWavPara&) = delete;
    CWavPara& operator=(const CWavPara&) = delete;

    // Reads the header and every sample once (cache, overview, extremes). A data size larger
    // than the file holds is lowered to the samples really present.
    resultWavPara setSizeFromWav(const char* path);
    // The same for a WAV file's bytes held in memory (a converted sound); `name` is kept as
    // m_path. The object keeps the bytes until it is destroyed or reads another sound.
    resultWavPara setSizeFromImage(std::vector<unsigned char> image, const char* name);

    // Make sure the cache covers the window at m_windowStart and fill m_window (doubles) or
    // m_windowInt. Window entries that could not be read (failed seek or short read, or a
    // position outside the file) are set to 0 and the call returns false.
    bool setSiii();
    bool setSiiiIntMid();

    // Clamp the ranges to the sound and store them. resultNoSampleFreq (nothing stored) when
    // the sampling frequency is not positive or a dB limit is not a finite number.
    resultWavPara setRangeXY(long freqLow, long freqHigh, double dbLow, double dbHigh);
    resultWavPara checkRangeXY(long freqLow, long freqHigh, double dbLow, double dbHigh);

    void setChannelSelect(ChannelSelect channel);

    bool newAll();
    void deleteAll();

    int16_t* m_overview = nullptr;
    double* m_window = nullptr;
    int16_t* m_windowInt = nullptr;
    FILE* m_file = nullptr;
    int16_t* m_readBuf = nullptr;
    int64_t m_dataStart = kHeaderBytes; // file offset of the first sample
    int32_t m_readBufBytes = 0;
    int16_t* m_cacheCur = nullptr;
    int16_t* m_cache1 = nullptr;
    int16_t* m_cache2 = nullptr;
    int16_t* m_overview1 = nullptr;
    int16_t* m_overview2 = nullptr;
    int16_t m_max = 0;
    int16_t m_min = 0;
    int16_t m_max1 = 0;
    int16_t m_min1 = 0;
    int16_t m_max2 = 0;
    int16_t m_min2 = 0;
    int32_t m_pathSize = 0;
    char* m_path = nullptr;
    int32_t m_windowMax;
    int32_t m_windowLen = 0;
    int32_t m_cacheLen;
    int32_t m_cacheStart = 0;
    int32_t m_overviewLen = 0;
    int32_t m_overviewStep = 1;
    int32_t m_windowStart = 0;
    int32_t m_totalSamples = 0;
    int32_t m_cursor = 0;
    int32_t m_cursorRange = 0;
    int32_t m_sliderMax = 10000;
    double m_samplesPerSliderStep = 0.0;
    float m_noiseParameter = 0.00001f;
    int32_t m_sampleFreq = 0;
    int32_t m_quantBit = 0;
    int32_t m_channelCount = 1;
    int32_t m_channelSelect = 1;
    int32_t m_freqLow = 0;
    int32_t m_freqHigh = 0;
    double m_dbLow = 0.0;
    double m_dbHigh = 0.0;
    // Set before reading; see AnalysedChannel.h.
    AnalysedChannel m_analysedChannel = AnalysedChannel::left;

private:
    struct WavFormat {
        int16_t channels = 0;
        uint32_t rate = 0;
        int16_t bits = 0;
        bool pcm = false; // integer PCM, plain or extensible
    };
    static resultWavPara readChunks(FILE* f, WavFormat& format, int64_t& dataStart,
                                    uint32_t& dataBytes);
    resultWavPara readOpened(const char* path);
    template <typename T> bool fillWindow(T* target);
    bool loadCache(int32_t start);
    void storeFrames(const int16_t* frames, int32_t count, int16_t* first, int16_t* second) const;

    // Frames of the cache that really came from the file, counted from m_cacheStart; a refill
    // that fell short is retried on the next call.
    int32_t m_cacheFilled = 0;
    std::vector<unsigned char> m_image; // the bytes m_file reads, for a sound held in memory
};
