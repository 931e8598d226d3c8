#include <algorithm>
#include <cstring>
#include <vector>

#include "FuzzChecks.h"
#include "FuzzSupport.h"
#include "engine/sound/CWavPara.h"

namespace fuzz::wav_reader {
namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int16_t le16(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | p[1] << 8));
}

uint16_t u16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

// What the reader must make of the bytes, worked out from the RIFF chunks: the first "fmt?"
// chunk (at least 16 bytes) and the first "data" chunk, every other chunk skipped with its pad.
struct Expected {
    CWavPara::resultWavPara result = CWavPara::resultReadError;
    int32_t channels = 0;
    int32_t sampleFreq = 0;
    int32_t totalSamples = 0;
    size_t dataAt = 0;
};

Expected expect(const uint8_t* d, size_t n) {
    Expected e;
    if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0)
        return e;
    const uint8_t* fmt = nullptr;
    uint32_t fmtSize = 0, dataSize = 0;
    bool haveData = false;
    for (uint64_t pos = 12; !fmt || !haveData;) {
        if (pos + 8 > n)
            return e;
        const uint32_t size = le32(d + pos + 4);
        const uint64_t body = pos + 8;
        if (!fmt && std::memcmp(d + pos, "fmt", 3) == 0) {
            if (size < 16 || body + std::min<uint32_t>(size, 40) > n)
                return e;
            fmt = d + body;
            fmtSize = size;
        } else if (!haveData && std::memcmp(d + pos, "data", 4) == 0) {
            haveData = true;
            e.dataAt = size_t(body);
            dataSize = size;
        }
        pos = body + size + (size & 1);
    }
    const int16_t channels = le16(fmt + 2);
    if (channels != 1 && channels != 2) {
        e.result = CWavPara::resultChannelCount;
        return e;
    }
    e.channels = channels;
    e.sampleFreq = int32_t(le32(fmt + 4));
    if (le16(fmt + 14) != 16) {
        e.result = CWavPara::resultQuantBit;
        return e;
    }
    static const uint8_t pcmGuidTail[14] = {0, 0, 0,    0, 0x10, 0,    0x80,
                                            0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    const uint16_t tag = u16(fmt);
    if (tag != 1 && !(tag == 0xFFFE && fmtSize >= 40 && u16(fmt + 24) == 1 &&
                      std::memcmp(fmt + 26, pcmGuidTail, 14) == 0)) {
        e.result = CWavPara::resultNotPcm;
        return e;
    }
    const int64_t claimed = int64_t(dataSize / 2) / channels;
    const int64_t present = n > e.dataAt ? int64_t(n - e.dataAt) / (2 * channels) : 0;
    e.totalSamples = int32_t(std::min(claimed, present));
    e.result = CWavPara::resultOK;
    return e;
}

// Sample `index` of channel `channel` (0 or 1) straight from the bytes of the data chunk.
int16_t sampleAt(const uint8_t* data, int32_t channels, int64_t index, int channel) {
    return le16(data + 2 * (index * channels + channel));
}

// Fills the window at `start` both ways and compares it with the file's samples; positions
// outside the file must read as 0 and make the call report an incomplete window.
std::string checkWindow(CWavPara& wave, const uint8_t* samples, int32_t start) {
    wave.m_windowStart = start;
    const bool filled = wave.setSiii();
    const bool filledInt = wave.setSiiiIntMid();
    const int64_t end = int64_t(start) + wave.m_windowLen;
    const bool inside = wave.m_windowLen <= 0 || (start >= 0 && end <= wave.m_totalSamples);
    if (filled != inside || filledInt != inside)
        return broken("window at %d (length %d of %d): setSiii %d, setSiiiIntMid %d, expected %d",
                      start, wave.m_windowLen, wave.m_totalSamples, filled, filledInt, inside);
    for (int32_t i = 0; i < wave.m_windowLen; ++i) {
        const int64_t at = int64_t(start) + i;
        const int16_t want =
            at >= 0 && at < wave.m_totalSamples ? sampleAt(samples, wave.m_channelCount, at, 0) : 0;
        if (wave.m_window[i] != double(want) || wave.m_windowInt[i] != want)
            return broken("window at %d, entry %d: %g and %d, file has %d", start, i,
                          wave.m_window[i], wave.m_windowInt[i], want);
    }
    return std::string();
}

std::string checkRead(CWavPara& wave, const uint8_t* samples, const Expected& e, int32_t windowMax,
                      int32_t cacheLen) {
    const int32_t total = e.totalSamples;
    if (wave.m_totalSamples != total || wave.m_channelCount != e.channels ||
        wave.m_sampleFreq != e.sampleFreq || wave.m_quantBit != 16)
        return broken("format: %d samples, %d channels, %d Hz, %d bits; expected %d, %d, %d, 16",
                      wave.m_totalSamples, wave.m_channelCount, wave.m_sampleFreq, wave.m_quantBit,
                      total, e.channels, e.sampleFreq);
    const int32_t windowLen = std::max(0, std::min({windowMax, total, cacheLen}));
    if (wave.m_windowLen != windowLen)
        return broken("window length %d, expected %d", wave.m_windowLen, windowLen);

    // The overview: every step-th sample, and never more points than a tenth of the cache.
    const int32_t step = wave.m_overviewStep;
    if (step < 1 || wave.m_overviewLen != total / step ||
        double(wave.m_overviewLen) >= cacheLen * 0.1 + 1.0)
        return broken("overview of %d points every %d samples for %d samples, cache %d",
                      wave.m_overviewLen, step, total, cacheLen);
    for (int32_t k = 0; k < wave.m_overviewLen; ++k) {
        for (int c = 0; c < e.channels; ++c) {
            const int16_t got = (c == 0 ? wave.m_overview1 : wave.m_overview2)[k];
            const int16_t want = sampleAt(samples, e.channels, int64_t(k) * step, c);
            if (got != want)
                return broken("overview point %d of channel %d: %d, file has %d", k, c + 1, got,
                              want);
        }
    }
    if (wave.m_overview != wave.m_overview1 || wave.m_cacheCur != wave.m_cache1)
        return broken("overview or cache pointer not channel 1's");

    if (total > 0) {
        int16_t lo[2] = {INT16_MAX, INT16_MAX}, hi[2] = {INT16_MIN, INT16_MIN};
        for (int64_t i = 0; i < total; ++i)
            for (int c = 0; c < e.channels; ++c) {
                lo[c] = std::min(lo[c], sampleAt(samples, e.channels, i, c));
                hi[c] = std::max(hi[c], sampleAt(samples, e.channels, i, c));
            }
        if (wave.m_max != hi[0] || wave.m_min != lo[0])
            return broken("extremes %d..%d, file has %d..%d", wave.m_min, wave.m_max, lo[0], hi[0]);
        if (e.channels == 2 && (wave.m_max1 != hi[0] || wave.m_min1 != lo[0] ||
                                wave.m_max2 != hi[1] || wave.m_min2 != lo[1]))
            return broken("stereo extremes %d..%d and %d..%d, file has %d..%d and %d..%d",
                          wave.m_min1, wave.m_max1, wave.m_min2, wave.m_max2, lo[0], hi[0], lo[1],
                          hi[1]);
    }
    return std::string();
}

} // namespace

std::string check(const uint8_t* data, size_t size) {
    const std::string path = memoryFilePath(data, size);
    if (path.empty())
        return "cannot make the memory file";

    // Cache and window sizes come from header fields the reader ignores (byte rate and block
    // alignment), so the fuzzer varies them together with the samples; the cache stays small
    // so that windows force refills.
    const uint32_t riffSize = size >= 8 ? le32(data + 4) : 0;
    const int32_t cacheLen = size >= 32 ? int32_t(1 + le32(data + 28) % 97) : 16;
    const int32_t windowMax = size >= 34 ? le16(data + 32) % 150 : 8;

    CWavPara wave(windowMax, cacheLen);
    const Expected e = expect(data, size);
    const CWavPara::resultWavPara result = wave.setSizeFromWav(path.c_str());
    if (result != e.result)
        return broken("result %d, expected %d", int(result), int(e.result));
    // The same bytes held in memory (how the command line reads converted sounds) must give the
    // same sound.
    CWavPara inMemory(windowMax, cacheLen);
    const CWavPara::resultWavPara fromImage =
        inMemory.setSizeFromImage(std::vector<unsigned char>(data, data + size), "memory");
    if (fromImage != result)
        return broken("from memory: result %d, from the file %d", int(fromImage), int(result));
    if (result == CWavPara::resultOK) {
        if (std::string broken = checkRead(inMemory, data + e.dataAt, e, windowMax, cacheLen);
            !broken.empty())
            return "from memory: " + broken;
        if (std::string broken =
                checkWindow(inMemory, data + e.dataAt, inMemory.m_totalSamples / 2);
            !broken.empty())
            return "from memory: " + broken;
    }
    if (result != CWavPara::resultOK) {
        // A failed read leaves no window to fill; asking for one must stay harmless.
        wave.setSiii();
        wave.setSiiiIntMid();
        return std::string();
    }
    if (std::string broken = checkRead(wave, data + e.dataAt, e, windowMax, cacheLen);
        !broken.empty())
        return broken;
    if (!wave.m_path || path != wave.m_path || wave.m_pathSize != int32_t(path.size()) + 1)
        return "stored path differs";

    // Somewhere inside, the last full window, and anywhere (before, inside, past the end).
    const int32_t total = wave.m_totalSamples;
    const int32_t starts[3] = {total > 0 ? int32_t(riffSize % uint32_t(total)) : 0,
                               std::max(0, total - wave.m_windowLen), int32_t(riffSize)};
    for (int32_t start : starts)
        if (std::string broken = checkWindow(wave, data + e.dataAt, start); !broken.empty())
            return broken;
    return std::string();
}

} // namespace fuzz::wav_reader
