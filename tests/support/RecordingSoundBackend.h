#pragma once

#include <string>
#include <vector>

#include <wx/sound.h>

#include "gui/audio/AlsaSoundBackend.h"

// Stands in for the sound device: keeps the flags and sample bytes of each Play, counts Stops.
class RecordingSoundBackend : public wxSoundBackend {
public:
    struct Played {
        unsigned flags = 0;
        std::string samples; // the sample bytes as they would reach the device
    };

    wxString GetName() const override { return "recording"; }
    int GetPriority() const override { return 0; }
    bool IsAvailable() const override { return true; }
    bool HasNativeAsyncPlayback() const override { return true; }
    bool Play(wxSoundData* data, unsigned flags, volatile wxSoundPlaybackStatus*) override {
        size_t bytes = 0;
        const unsigned char* s = soundSampleBytes(*data, &bytes);
        plays.push_back({flags, s ? std::string(reinterpret_cast<const char*>(s), bytes) : ""});
        return !refuse;
    }
    void Stop() override { ++stops; }
    bool IsPlaying() const override { return false; }

    std::vector<Played> plays;
    int stops = 0;
    bool refuse = false; // as a missing device: Play fails
};

// Puts a recording backend in wxSound's place for one scope, then the previous one back.
class ScopedRecordingSound {
public:
    ScopedRecordingSound() : m_previous(replaceSoundBackend(&recorder)) {}
    ~ScopedRecordingSound() { replaceSoundBackend(m_previous); }
    ScopedRecordingSound(const ScopedRecordingSound&) = delete;
    ScopedRecordingSound& operator=(const ScopedRecordingSound&) = delete;

    RecordingSoundBackend recorder;

private:
    wxSoundBackend* m_previous;
};
