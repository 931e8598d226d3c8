#include "gui/audio/AlsaSoundBackend.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include <alsa/asoundlib.h>

namespace {

// wxSound::ms_backend is protected; a subclass is the way in.
struct BackendSlot : wxSound {
    static wxSoundBackend*& slot() { return ms_backend; }
};

snd_pcm_t* pcmOf(void* p) {
    return static_cast<snd_pcm_t*>(p);
}

// The library would print why a device is missing; here that is an ordinary outcome.
void quiet(const char*, int, const char*, int, const char*, ...) {}

// Non-blocking, so that a device that stalls never holds the GUI thread or a Stop.
snd_pcm_t* openDevice(const std::string& device) {
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return nullptr;
    return pcm;
}

constexpr int kLatencyMicros = 100000;
constexpr snd_pcm_uframes_t kChunkFrames = 2048;

} // namespace

const unsigned char* soundSampleBytes(const wxSoundData& data, size_t* bytes) {
    *bytes = 0;
    if (!data.m_data || data.m_dataBytes == 0)
        return nullptr;
    const unsigned char* p = data.m_data;
    // The chunk header is part of the loaded image, so the samples after it are in bounds.
    if (std::memcmp(p, "data", 4) == 0 && data.m_dataBytes >= 8) {
        const size_t size =
            size_t(p[4]) | size_t(p[5]) << 8 | size_t(p[6]) << 16 | size_t(p[7]) << 24;
        if (size == data.m_dataBytes)
            p += 8;
    }
    *bytes = data.m_dataBytes;
    return p;
}

AlsaSoundBackend::AlsaSoundBackend(const std::string& device) : m_device(device) {
    snd_lib_error_set_handler(quiet);
}

AlsaSoundBackend::~AlsaSoundBackend() {
    finish();
}

bool AlsaSoundBackend::IsAvailable() const {
    snd_pcm_t* pcm = openDevice(m_device);
    if (!pcm)
        return false;
    snd_pcm_close(pcm);
    return true;
}

bool AlsaSoundBackend::Play(wxSoundData* data, unsigned flags,
                            volatile wxSoundPlaybackStatus* status) {
    finish();
    if (!data || data->m_channels < 1 || data->m_samplingRate < 1)
        return false;
    snd_pcm_format_t format;
    if (data->m_bitsPerSample == 16)
        format = SND_PCM_FORMAT_S16_LE;
    else if (data->m_bitsPerSample == 8)
        format = SND_PCM_FORMAT_U8;
    else
        return false;
    size_t bytes = 0;
    const unsigned char* samples = soundSampleBytes(*data, &bytes);
    const size_t frameBytes = size_t(data->m_channels) * (data->m_bitsPerSample / 8);
    const size_t frames = bytes / frameBytes;
    if (!samples || frames == 0)
        return false;

    snd_pcm_t* pcm = openDevice(m_device);
    if (!pcm)
        return false;
    if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, data->m_channels,
                           data->m_samplingRate, 1, kLatencyMicros) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    m_pcm = pcm;
    data->IncRef();
    m_held = data;
    m_stop = false;
    m_playing = true;

    const bool loop = (flags & wxSOUND_LOOP) != 0;
    if (!(flags & wxSOUND_ASYNC)) {
        run(samples, frames, frameBytes, false);
        finish();
        return !(status && status->m_stopRequested);
    }
    try {
        m_thread = std::thread(
            [this, samples, frames, frameBytes, loop] { run(samples, frames, frameBytes, loop); });
    } catch (const std::system_error&) {
        finish();
        return false;
    }
    return true;
}

void AlsaSoundBackend::run(const unsigned char* bytes, size_t frames, size_t frameBytes,
                           bool loop) {
    snd_pcm_t* pcm = pcmOf(m_pcm);
    size_t done = 0;
    bool failed = false;
    while (!m_stop) {
        if (done == frames) {
            if (!loop)
                break;
            done = 0;
        }
        const snd_pcm_uframes_t chunk = std::min<size_t>(frames - done, kChunkFrames);
        const snd_pcm_sframes_t n = snd_pcm_writei(pcm, bytes + done * frameBytes, chunk);
        if (n == -EAGAIN) {
            snd_pcm_wait(pcm, 100);
        } else if (n < 0) {
            // An underrun or a suspend is recovered; anything else ends this sound.
            if (snd_pcm_recover(pcm, int(n), 1) < 0) {
                failed = true;
                break;
            }
        } else {
            done += size_t(n);
        }
    }
    // Let the buffered tail play out, but never wait past a bound a stall could stretch.
    if (!m_stop && !failed && snd_pcm_drain(pcm) == -EAGAIN) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!m_stop && snd_pcm_state(pcm) == SND_PCM_STATE_DRAINING &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    snd_pcm_drop(pcm);
    m_playing = false;
}

void AlsaSoundBackend::Stop() {
    finish();
}

void AlsaSoundBackend::finish() {
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_pcm) {
        snd_pcm_close(pcmOf(m_pcm));
        m_pcm = nullptr;
    }
    if (m_held) {
        m_held->DecRef();
        m_held = nullptr;
    }
    m_playing = false;
}

wxSoundBackend* replaceSoundBackend(wxSoundBackend* backend) {
    wxSoundBackend*& slot = BackendSlot::slot();
    wxSoundBackend* previous = slot;
    if (previous)
        previous->Stop();
    slot = backend;
    return previous;
}

wxSoundBackend* currentSoundBackend() {
    return BackendSlot::slot();
}

void installAlsaSoundBackend() {
    delete replaceSoundBackend(new AlsaSoundBackend());
}
