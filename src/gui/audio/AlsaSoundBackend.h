#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

#include <wx/sound.h>

// wxSound plays through OSS on this toolkit build, which today's desktops lack. This backend
// plays through an ALSA device instead ("default", served by PulseAudio or PipeWire), on a
// thread of its own so that Play returns at once; it loops and stops as wxSound asks.
//
// wxSound calls Play and Stop on the GUI thread. The data a sound plays keeps a reference
// that is dropped on that thread too (next Play, Stop or destruction), since wxSoundData's
// count is not thread safe. When the device cannot be opened or does not take the format,
// Play returns false and nothing else happens.
class AlsaSoundBackend : public wxSoundBackend {
public:
    explicit AlsaSoundBackend(const std::string& device = "default");
    ~AlsaSoundBackend() override;
    AlsaSoundBackend(const AlsaSoundBackend&) = delete;
    AlsaSoundBackend& operator=(const AlsaSoundBackend&) = delete;

    wxString GetName() const override { return "ALSA"; }
    int GetPriority() const override { return 20; }
    // True when the device opens for playback now.
    bool IsAvailable() const override;
    bool HasNativeAsyncPlayback() const override { return true; }
    // wxSOUND_ASYNC returns once playing has started; wxSOUND_LOOP repeats until Stop.
    // Without wxSOUND_ASYNC it returns when the sound has been played.
    bool Play(wxSoundData* data, unsigned flags, volatile wxSoundPlaybackStatus* status) override;
    void Stop() override;
    bool IsPlaying() const override { return m_playing; }

private:
    // Ends the playing thread, closes the device and drops the data's reference.
    void finish();
    void run(const unsigned char* bytes, size_t frames, size_t frameBytes, bool loop);

    std::string m_device;
    void* m_pcm = nullptr; // snd_pcm_t*, kept out of this header
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_playing{false};
    wxSoundData* m_held = nullptr;
};

// The samples of a loaded sound and their size in bytes. The toolkit's m_data points at the
// "data" chunk header rather than past it; the samples then start 8 bytes on. Null when the
// data holds no sample.
const unsigned char* soundSampleBytes(const wxSoundData& data, size_t* bytes);

// Puts backend in wxSound's place (wxSound then owns it and deletes it at exit) and returns the
// one it replaces, stopped, which the caller now owns; null when there was none yet.
wxSoundBackend* replaceSoundBackend(wxSoundBackend* backend);
wxSoundBackend* currentSoundBackend();

// Start-up: sounds go through ALSA's default device from the first play on.
void installAlsaSoundBackend();
