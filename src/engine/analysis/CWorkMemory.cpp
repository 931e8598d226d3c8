#include "engine/analysis/CWorkMemory.h"

#include <sys/mman.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

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

double* newArray(int64_t length) {
    if (length <= 0 || length > kIntMax)
        return nullptr;
    if (g_allocator)
        return g_allocator(static_cast<size_t>(length));
    const size_t bytes = static_cast<size_t>(length) * sizeof(double);
    if (bytes < kHugePage)
        return static_cast<double*>(std::malloc(bytes));
    // A plane is tens of megabytes that a new process touches for the first time: in huge pages
    // that is a few dozen page faults instead of thousands, which were most of what a run of the
    // command line paid beyond the work itself.
    const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (p)
        madvise(p, rounded, MADV_HUGEPAGE);
    return static_cast<double*>(p);
}

std::atomic<uint64_t> g_planeGenerations{0};

void release(double*& p) {
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
