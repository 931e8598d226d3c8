#include "engine/analysis/CWorkMemory.h"

#include <sys/mman.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr long kSsftMin = 4; // the smallest transform the FFT does
constexpr long kSsftMax = 32768;

bool isPowerOfTwo(long n) {
    return n > 0 && (n & (n - 1)) == 0;
}

bool fitsInt(long v) {
    return v >= -kIntMax - 1 && v <= kIntMax;
}

// (repeatTimes - 1) * interval + ssftSize for values already known to be 32-bit; cannot overflow.
int64_t spanOf(long ssftSize, long interval, long repeatTimes) {
    return (static_cast<int64_t>(repeatTimes) - 1) * interval + ssftSize;
}

workmemory_detail::ArrayAllocator g_allocator = nullptr;

constexpr size_t kHugePage = size_t(2) << 20;
// Released planes kept for reuse, at most this many bytes: a work memory of the default view.
constexpr size_t kKeptMax = size_t(128) << 20;

// Planes are tens of megabytes. A new process touches them for the first time: in huge pages that
// is a few dozen page faults instead of thousands, which were most of what a run of the command
// line paid beyond the work itself. Released planes are kept for the next work memory of the same
// shape, so a loop of runs in one process (Python over files, a corpus worker, the window opening
// sound after sound) reuses memory in place instead of having the kernel clear fresh pages for
// every run. A request for another size lets the kept ones go first.
class PlaneBlocks {
public:
    void* take(size_t bytes) {
        std::vector<std::pair<size_t, void*>> stale;
        {
            const std::lock_guard<std::mutex> g(m_lock);
            for (size_t i = m_kept.size(); i-- > 0;) {
                if (m_kept[i].first == bytes) {
                    void* p = m_kept[i].second;
                    m_kept.erase(m_kept.begin() + long(i));
                    m_keptBytes -= bytes;
                    m_live[p] = bytes;
                    return p;
                }
            }
            // Another shape is wanted now: what is kept would only add to the peak beside it.
            stale.swap(m_kept);
            m_keptBytes = 0;
        }
        for (const auto& block : stale)
            std::free(block.second);
        void* p = std::aligned_alloc(kHugePage, bytes);
        if (!p)
            return nullptr;
        madvise(p, bytes, MADV_HUGEPAGE);
        try {
            const std::lock_guard<std::mutex> g(m_lock);
            m_live[p] = bytes;
        } catch (const std::bad_alloc&) {
            std::free(p);
            return nullptr;
        }
        return p;
    }
    // False when p is not a plane block, or there is no room to keep it: the caller frees it.
    bool keep(void* p) {
        const std::lock_guard<std::mutex> g(m_lock);
        const auto it = m_live.find(p);
        if (it == m_live.end())
            return false;
        const size_t bytes = it->second;
        m_live.erase(it);
        if (m_keptBytes + bytes > kKeptMax)
            return false;
        try {
            m_kept.emplace_back(bytes, p);
        } catch (const std::bad_alloc&) {
            return false;
        }
        m_keptBytes += bytes;
        return true;
    }

private:
    std::mutex m_lock;                            // protects everything below
    std::unordered_map<void*, size_t> m_live;     // blocks handed out, by size
    std::vector<std::pair<size_t, void*>> m_kept; // released blocks, the latest last
    size_t m_keptBytes = 0;
};

// Never destroyed: a work memory released while the program exits still finds it.
PlaneBlocks& planeBlocks() {
    static PlaneBlocks* blocks = new PlaneBlocks;
    return *blocks;
}

double* newArray(int64_t length) {
    if (length <= 0 || length > kIntMax)
        return nullptr;
    if (g_allocator)
        return g_allocator(static_cast<size_t>(length));
    const size_t bytes = static_cast<size_t>(length) * sizeof(double);
    if (bytes < kHugePage)
        return static_cast<double*>(std::malloc(bytes));
    return static_cast<double*>(
        planeBlocks().take((bytes + kHugePage - 1) / kHugePage * kHugePage));
}

std::atomic<uint64_t> g_planeGenerations{0};

void release(double*& p) {
    if (p && !planeBlocks().keep(p))
        std::free(p);
    p = nullptr;
}

} // namespace

void workmemory_detail::setArrayAllocator(ArrayAllocator allocator) {
    g_allocator = allocator;
}

CWorkMemory::CWorkMemory() = default;

CWorkMemory::~CWorkMemory() {
    deleteAll();
}

CWorkMemory::resultWorkMemory CWorkMemory::setSize(long ssftSize, long maxSize, senseMode mode,
                                                   long interval, long repeatTimes) {
    if (!isPowerOfTwo(ssftSize) || ssftSize < kSsftMin || ssftSize > kSsftMax)
        return resultSize;
    if (mode != senseNormal && mode != senseFine)
        return resultSize;
    if (!fitsInt(maxSize) || interval < 1 || interval > kIntMax || repeatTimes < 1 ||
        repeatTimes > kIntMax)
        return resultSize;
    const int64_t span = spanOf(ssftSize, interval, repeatTimes);
    if (span > maxSize)
        return resultSize;
    // Planes are indexed t * H + k with 32-bit sizes, so their length must stay a 32-bit int.
    if (static_cast<int64_t>(repeatTimes) * (ssftSize / 2) > kIntMax)
        return resultSize;

    m_ssftSize = static_cast<int32_t>(ssftSize);
    m_maxSize = static_cast<int32_t>(maxSize);
    m_senseMode = mode;
    if (mode == senseFine) {
        m_letSize = ssftSize == 256 ? 32 : 64;
        m_letHigh = ssftSize == 256 ? 15 : 31;
        m_letLow = 1;
    } else {
        m_letSize = 4;
        m_letHigh = 1;
        m_letLow = 0;
    }
    m_interval = static_cast<int32_t>(interval);
    m_excutionSize = static_cast<int32_t>(span);
    m_repeatTimes = static_cast<int32_t>(repeatTimes);

    deleteAll();
    if (!newAll()) {
        deleteAll();
        zeroSizes();
        return resultMemory;
    }
    return resultOk;
}

CWorkMemory::resultWorkMemory CWorkMemory::checkSize(long ssftSize, long maxSize, long interval,
                                                     long* repeatTimes) const {
    if (!repeatTimes || ssftSize < 1 || ssftSize > kIntMax || !fitsInt(maxSize) || interval < 1 ||
        interval > kIntMax || !fitsInt(*repeatTimes))
        return resultSize;
    // A repeat count below 1 is no frame at all; treat it like one that does not fit.
    if (*repeatTimes >= 1 && spanOf(ssftSize, interval, *repeatTimes) <= maxSize)
        return resultOk;
    const int64_t r = (static_cast<int64_t>(maxSize) - ssftSize - 1) / interval;
    if (r <= 9)
        return resultSize;
    *repeatTimes = static_cast<long>(r);
    return resultOk;
}

bool CWorkMemory::newAll() {
    deleteAll();
    const int64_t s = m_ssftSize, t = m_repeatTimes, e = m_excutionSize;
    if (s < 2 || t < 1 || e < s)
        return false;
    double** frameSized[] = {&m_re,         &m_im,     &m_pow,   &m_phs,      &m_restore,
                             &m_restoreSum, &m_rectDb, &m_hamDb, &m_restoreDb};
    double** perFrame[] = {&m_harmonicsPower, &m_power, &m_pitchPower, &m_pitch};
    bool ok = (m_wave = newArray(e)) != nullptr;
    for (double** p : frameSized)
        ok = ok && (*p = newArray(s)) != nullptr;
    for (double** p : perFrame)
        ok = ok && (*p = newArray(t)) != nullptr;
    ok = ok && newIntervalTimeSize();
    if (!ok)
        deleteAll();
    return ok;
}

void CWorkMemory::deleteAll() {
    release(m_harmonicsPower);
    release(m_power);
    release(m_pitchPower);
    release(m_pitch);
    release(m_wave);
    release(m_re);
    release(m_im);
    release(m_pow);
    release(m_phs);
    release(m_restore);
    release(m_restoreSum);
    release(m_rectDb);
    release(m_hamDb);
    release(m_restoreDb);
    deleteIntervalTimeSize();
}

bool CWorkMemory::newIntervalTimeSize() {
    deleteIntervalTimeSize();
    m_planeGeneration = ++g_planeGenerations;
    const int64_t length = static_cast<int64_t>(m_repeatTimes) * (m_ssftSize / 2);
    double** planes[] = {&m_rectPowMap, &m_hamPowMap,    &m_auxMap,   &m_restorePowMap,
                         &m_hamDbMap,   &m_restoreDbMap, &m_rectDbMap};
    bool ok = length > 0;
    for (double** p : planes)
        ok = ok && (*p = newArray(length)) != nullptr;
    if (!ok)
        deleteIntervalTimeSize();
    return ok;
}

void CWorkMemory::deleteIntervalTimeSize() {
    m_planeGeneration = ++g_planeGenerations;
    release(m_rectPowMap);
    release(m_hamPowMap);
    release(m_auxMap);
    release(m_restorePowMap);
    release(m_hamDbMap);
    release(m_restoreDbMap);
    release(m_rectDbMap);
}

void CWorkMemory::zeroSizes() {
    m_ssftSize = 0;
    m_maxSize = 0;
    m_excutionSize = 0;
    m_letSize = 0;
    m_letHigh = 0;
    m_letLow = 0;
    m_interval = 0;
    m_repeatTimes = 0;
}
