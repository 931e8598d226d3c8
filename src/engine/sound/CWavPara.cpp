#include "engine/sound/CWavPara.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool readExact(FILE* f, void* dst, size_t n) {
    return std::fread(dst, 1, n, f) == n;
}

bool readU32(FILE* f, uint32_t& v) {
    unsigned char b[4];
    if (!readExact(f, b, 4))
        return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool readTag(FILE* f, const char* tag, size_t compared) {
    char b[4];
    return readExact(f, b, 4) && std::memcmp(b, tag, compared) == 0;
}

// The file's samples are little-endian; the read buffer is used in place.
void toHostOrder(int16_t* p, size_t n) {
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (size_t i = 0; i < n; ++i)
        p[i] = int16_t(__builtin_bswap16(uint16_t(p[i])));
#else
    (void)p;
    (void)n;
#endif
}

bool skipBytes(FILE* f, uint64_t n) {
    return n == 0 || (n <= uint64_t(INT64_MAX) && fseeko(f, off_t(n), SEEK_CUR) == 0);
}

uint16_t u16At(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t u32At(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

template <typename T> T* zeroedArray(int32_t count) {
    // calloc(0) may return null, which would read as a failure.
    return static_cast<T*>(std::calloc(size_t(std::max<int32_t>(count, 1)), sizeof(T)));
}

template <typename T> void freeArray(T*& p) {
    if (p) {
        std::free(p);
        p = nullptr;
    }
}

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The sub-format GUID of extensible PCM after its first two bytes (which hold the tag, 1).
constexpr unsigned char kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

} // namespace

// Walks the chunks after "RIFF" size "WAVE" until both "fmt?" and "data" have been seen. A
// chunk's size is trusted only to skip it; the data chunk's size is checked against the file
// later. Odd-sized chunks are followed by a pad byte.
CWavPara::resultWavPara CWavPara::readChunks(FILE* f, WavFormat& format, int64_t& dataStart,
                                             uint32_t& dataBytes) {
    uint32_t riffSize = 0;
    if (!readTag(f, "RIFF", 4) || !readU32(f, riffSize) || !readTag(f, "WAVE", 4))
        return resultReadError;
    bool haveFormat = false;
    bool haveData = false;
    while (!(haveFormat && haveData)) {
        char id[4];
        uint32_t size = 0;
        if (!readExact(f, id, 4) || !readU32(f, size))
            return resultReadError; // the file ended before both chunks were found
        const uint64_t padded = uint64_t(size) + (size & 1);
        if (std::memcmp(id, "fmt", 3) == 0 && !haveFormat) { // the 4th byte is not examined
            unsigned char b[40] = {};
            if (size < 16 || !readExact(f, b, std::min<size_t>(size, sizeof b)))
                return resultReadError;
            const uint16_t tag = u16At(b);
            format.channels = int16_t(u16At(b + 2));
            format.rate = u32At(b + 4);
            format.bits = int16_t(u16At(b + 14));
            format.pcm = tag == kFormatPcm ||
                         (tag == kFormatExtensible && size >= 40 && u16At(b + 24) == kFormatPcm &&
                          std::memcmp(b + 26, kPcmGuidTail, sizeof kPcmGuidTail) == 0);
            if (!skipBytes(f, padded - std::min<uint64_t>(size, sizeof b)))
                return resultReadError;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0 && !haveData) {
            const off_t here = ftello(f);
            if (here < 0)
                return resultReadError;
            dataStart = here;
            dataBytes = size;
            haveData = true;
            // A data chunk before the format chunk is rare but valid: look on past it.
            if (!haveFormat && !skipBytes(f, padded))
                return resultReadError;
        } else if (!skipBytes(f, padded)) {
            return resultReadError;
        }
    }
    return resultOK;
}

CWavPara::CWavPara(int windowMax, int cacheLen)
    : m_windowMax(windowMax), m_cacheLen(std::clamp(cacheLen, 1, int(kMaxCacheLen))) {}

CWavPara::~CWavPara() {
    deleteAll();
    if (m_file)
        std::fclose(m_file);
    std::free(m_path);
    std::free(m_readBuf);
}

CWavPara::resultWavPara CWavPara::setSizeFromWav(const char* path) {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_image.clear();
    if (!path)
        return resultReadError;
    // Opened without waiting and looked at before reading: a named pipe or a device in the
    // sound's place would block the reader or never end.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (fd < 0)
        return resultReadError;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(m_file = fdopen(fd, "rb"))) {
        close(fd);
        return resultReadError;
    }
    return readOpened(path);
}

CWavPara::resultWavPara CWavPara::setSizeFromImage(std::vector<unsigned char> image,
                                                   const char* name) {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_image = std::move(image);
    if (!name || m_image.empty())
        return resultReadError;
    m_file = fmemopen(m_image.data(), m_image.size(), "rb");
    if (!m_file)
        return resultReadError;
    return readOpened(name);
}

CWavPara::resultWavPara CWavPara::readOpened(const char* path) {
    WavFormat format;
    uint32_t dataBytes = 0;
    if (const resultWavPara r = readChunks(m_file, format, m_dataStart, dataBytes); r != resultOK)
        return r;
    if (format.channels != 1 && format.channels != 2)
        return resultChannelCount;
    m_channelCount = format.channels;
    // Above 2^31 - 1 this reads as negative; setRangeXY refuses it like 0.
    m_sampleFreq = int32_t(format.rate);
    m_quantBit = format.bits;
    if (format.bits != 16)
        return resultQuantBit;
    if (!format.pcm)
        return resultNotPcm;

    const int32_t frameBytes = 2 * m_channelCount;
    std::free(m_readBuf);
    m_readBufBytes = m_cacheLen * frameBytes;
    m_readBuf = static_cast<int16_t*>(std::malloc(size_t(m_readBufBytes)));
    if (!m_readBuf)
        return resultReadError;

    // Never trust the header's size: truncated files and streaming headers (0xFFFFFFFF) claim
    // more than is there, and every buffer below is sized from this count.
    // (Seeking to the end measures a memory image as well as a file.)
    int64_t framesInFile = 0;
    if (fseeko(m_file, 0, SEEK_END) == 0) {
        const off_t size = ftello(m_file);
        if (size > m_dataStart)
            framesInFile = (int64_t(size) - m_dataStart) / frameBytes;
    }
    if (fseeko(m_file, off_t(m_dataStart), SEEK_SET) != 0)
        return resultReadError;
    const int64_t claimed = int64_t(dataBytes / 2) / m_channelCount;
    m_totalSamples = int32_t(std::min(claimed, framesInFile));
    // The window is copied out of the cache, so it cannot be longer than the cache.
    m_windowLen = std::max(0, std::min({m_windowMax, m_totalSamples, m_cacheLen}));

    const double step = m_totalSamples / (m_cacheLen * 0.1) + 1.0;
    m_overviewStep = step >= double(INT32_MAX) ? INT32_MAX : std::max(1, int32_t(step));
    m_cacheStart = 0;
    m_overviewLen = m_totalSamples / m_overviewStep;

    deleteAll();
    if (!newAll()) {
        deleteAll();
        return resultNoMemory;
    }

    const bool stereo = m_channelCount == 2;
    const AnalysedChannel chosen = stereo ? m_analysedChannel : AnalysedChannel::left;
    int16_t lo1 = INT16_MAX, hi1 = INT16_MIN, lo2 = INT16_MAX, hi2 = INT16_MIN;
    int16_t loMix = INT16_MAX, hiMix = INT16_MIN;
    for (int64_t first = 0; first < m_totalSamples; first += m_cacheLen) {
        const int32_t n = int32_t(std::min<int64_t>(m_cacheLen, m_totalSamples - first));
        const size_t want = size_t(n) * size_t(frameBytes);
        if (!readExact(m_file, m_readBuf, want))
            return resultReadError; // the file shrank while being read
        toHostOrder(m_readBuf, want / 2);
        const int16_t* frames = m_readBuf;
        if (first == 0)
            storeFrames(frames, n, m_cache1, stereo ? m_cache2 : nullptr);
        for (int64_t k = (first + m_overviewStep - 1) / m_overviewStep;
             k < m_overviewLen && k * m_overviewStep < first + n; ++k) {
            const int64_t at = (k * m_overviewStep - first) * m_channelCount;
            if (stereo) {
                m_overview1[k] = analysedSample(chosen, frames[at], frames[at + 1]);
                m_overview2[k] = frames[at + 1];
            } else {
                m_overview1[k] = frames[at];
            }
        }
        if (stereo) {
            for (int32_t i = 0; i < n; ++i) {
                lo1 = std::min(lo1, frames[2 * i]);
                hi1 = std::max(hi1, frames[2 * i]);
                lo2 = std::min(lo2, frames[2 * i + 1]);
                hi2 = std::max(hi2, frames[2 * i + 1]);
            }
            if (chosen == AnalysedChannel::mix) {
                for (int32_t i = 0; i < n; ++i) {
                    const int16_t v = analysedSample(chosen, frames[2 * i], frames[2 * i + 1]);
                    loMix = std::min(loMix, v);
                    hiMix = std::max(hiMix, v);
                }
            }
        } else {
            for (int32_t i = 0; i < n; ++i) {
                lo1 = std::min(lo1, frames[i]);
                hi1 = std::max(hi1, frames[i]);
            }
        }
    }
    if (m_totalSamples > 0) {
        m_max = chosen == AnalysedChannel::mix     ? hiMix
                : chosen == AnalysedChannel::right ? hi2
                                                   : hi1;
        m_min = chosen == AnalysedChannel::mix     ? loMix
                : chosen == AnalysedChannel::right ? lo2
                                                   : lo1;
        if (stereo) {
            m_max1 = hi1;
            m_min1 = lo1;
            m_max2 = hi2;
            m_min2 = lo2;
        }
    }
    m_cacheFilled = std::min(m_totalSamples, m_cacheLen);
    m_channelSelect = stereo ? 2 : 1;
    m_cacheCur = m_cache1;
    m_overview = m_overview1;

    std::free(m_path);
    m_pathSize = int32_t(std::strlen(path)) + 1;
    m_path = static_cast<char*>(std::calloc(size_t(m_pathSize), 1));
    if (!m_path) {
        m_pathSize = 0;
        return resultNoMemory;
    }
    std::memcpy(m_path, path, size_t(m_pathSize) - 1);
    return resultOK;
}

void CWavPara::storeFrames(const int16_t* frames, int32_t count, int16_t* first,
                           int16_t* second) const {
    if (!second) {
        std::memcpy(first, frames, size_t(count) * sizeof(int16_t));
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        first[i] = analysedSample(m_analysedChannel, frames[2 * i], frames[2 * i + 1]);
        second[i] = frames[2 * i + 1];
    }
}

bool CWavPara::loadCache(int32_t start) {
    const int32_t frameBytes = 2 * m_channelCount;
    const int32_t wanted = std::max(0, std::min(m_cacheLen, m_totalSamples - start));
    int32_t got = 0;
    // A 4 GiB stereo file has offsets beyond 32 bits.
    const off_t offset = off_t(m_dataStart) + off_t(start) * frameBytes;
    if (fseeko(m_file, offset, SEEK_SET) == 0) {
        const size_t bytes = std::fread(m_readBuf, 1, size_t(wanted) * size_t(frameBytes), m_file);
        got = int32_t(bytes / size_t(frameBytes));
        toHostOrder(m_readBuf, size_t(got) * size_t(m_channelCount));
    }
    const bool stereo = m_channelCount == 2;
    storeFrames(m_readBuf, got, m_cache1, stereo ? m_cache2 : nullptr);
    // No stale samples of the previous block may survive a short read.
    std::memset(m_cache1 + got, 0, size_t(m_cacheLen - got) * sizeof(int16_t));
    if (stereo)
        std::memset(m_cache2 + got, 0, size_t(m_cacheLen - got) * sizeof(int16_t));
    m_cacheStart = start;
    m_cacheFilled = got;
    m_channelSelect = stereo ? 2 : 1;
    m_cacheCur = m_cache1;
    return got == wanted;
}

template <typename T> bool CWavPara::fillWindow(T* target) {
    if (m_windowLen <= 0)
        return true;
    if (!target || !m_cache1)
        return false;
    const int64_t winStart = m_windowStart;
    const int64_t winEnd = winStart + m_windowLen;
    if (m_file && m_readBuf) {
        const bool inside =
            winStart >= m_cacheStart && winEnd <= int64_t(m_cacheStart) + m_cacheLen;
        const int32_t expected = std::max(0, std::min(m_cacheLen, m_totalSamples - m_cacheStart));
        if ((m_cacheLen < m_totalSamples && !inside) || m_cacheFilled < expected) {
            int64_t start = 0;
            if (m_cacheLen < m_totalSamples) {
                start = inside ? m_cacheStart : std::max<int64_t>(winStart - m_cacheLen / 2, 0);
                // A window longer than half the cache would stick out of a centred block.
                start = std::max(start, winEnd - m_cacheLen);
                start = std::min<int64_t>(start, m_totalSamples - m_cacheLen);
            }
            loadCache(int32_t(start));
        }
    }
    const int16_t* cache = m_cacheCur ? m_cacheCur : m_cache1;
    bool complete = true;
    for (int32_t i = 0; i < m_windowLen; ++i) {
        const int64_t at = winStart + i - m_cacheStart;
        if (at >= 0 && at < m_cacheFilled) {
            target[i] = T(cache[at]);
        } else {
            target[i] = T(0);
            complete = false;
        }
    }
    return complete;
}

bool CWavPara::setSiii() {
    return fillWindow(m_window);
}

bool CWavPara::setSiiiIntMid() {
    return fillWindow(m_windowInt);
}

CWavPara::resultWavPara CWavPara::setRangeXY(long freqLow, long freqHigh, double dbLow,
                                             double dbHigh) {
    if (m_sampleFreq <= 0 || !std::isfinite(dbLow) || !std::isfinite(dbHigh))
        return resultNoSampleFreq;
    const long nyquist = m_sampleFreq / 2;
    if (freqLow < 0 || freqLow > nyquist)
        freqLow = 0;
    if (!(freqHigh >= 0 && freqHigh < nyquist))
        freqHigh = nyquist;
    if (freqLow > freqHigh)
        freqLow = 0;
    if (dbHigh > 0.0)
        dbHigh = 0.0;
    if (dbLow > dbHigh)
        dbLow -= 200.0;
    m_freqLow = int32_t(freqLow);
    m_freqHigh = int32_t(freqHigh);
    m_dbLow = dbLow;
    m_dbHigh = dbHigh;
    return resultOK;
}

CWavPara::resultWavPara CWavPara::checkRangeXY(long freqLow, long freqHigh, double dbLow,
                                               double dbHigh) {
    return setRangeXY(freqLow, freqHigh, dbLow, dbHigh);
}

void CWavPara::setChannelSelect(ChannelSelect channel) {
    m_channelSelect = channel;
    m_overview = channel == firstChannel ? m_overview1 : m_overview2;
}

bool CWavPara::newAll() {
    // Zeroed, so a cache slot that was never filled reads as silence; calloc of a large block
    // costs no memory until it is written.
    m_window = zeroedArray<double>(m_windowLen);
    m_windowInt = zeroedArray<int16_t>(m_windowLen);
    m_overview1 = zeroedArray<int16_t>(m_overviewLen);
    m_overview2 = zeroedArray<int16_t>(m_overviewLen);
    m_cache1 = zeroedArray<int16_t>(m_cacheLen);
    m_cache2 = zeroedArray<int16_t>(m_cacheLen);
    m_cacheFilled = 0;
    return m_window && m_windowInt && m_overview1 && m_overview2 && m_cache1 && m_cache2;
}

void CWavPara::deleteAll() {
    freeArray(m_window);
    freeArray(m_windowInt);
    freeArray(m_overview1);
    freeArray(m_overview2);
    freeArray(m_cache1);
    freeArray(m_cache2);
    // These only point into the arrays above.
    m_overview = nullptr;
    m_cacheCur = nullptr;
    m_cacheFilled = 0;
}
