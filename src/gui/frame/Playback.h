#pragma once

#include <memory>

#include <wx/sound.h>
#include <wx/thread.h>
#include <wx/timer.h>

// What the window plays: the sound of the last play, and the countdown that moves the cursor
// line over the waveform every 100 ms while it lasts.
class Playback {
public:
    // The countdown's ticks are timer events `timerId` sent to `owner`.
    Playback(wxEvtHandler* owner, int timerId) : m_timer(owner, timerId) {}

    bool playing() const { return m_timer.IsRunning(); }
    // The sound for the next play; the last one goes first, as its image is about to be
    // rewritten.
    wxSound& freshSound();
    wxSound* sound() const { return m_sound.get(); }
    void dropSound() { m_sound.reset(); }

    struct Countdown {
        int remainMs = 0;
        int pos = 0;  // the cursor's sample in the top panel's stretch
        int step = 0; // samples a tick
    };
    // A countdown over `samples` samples at `rate` from `from`; "&NonDispSpectrum" as given.
    void start(long samples, long rate, long from, bool noSpectrum);
    // One tick: the cursor moves a step and the time left shrinks by 100 ms.
    void tick();
    // The countdown is over or stopped: nothing left, no cursor.
    void end();
    const Countdown& countdown() const { return m_countdown; }
    bool noSpectrum() const { return m_noSpectrum; }
    // True the first time a play finds no sound device, to say so once.
    bool firstSilentPlay();

    wxTimer& timer() { return m_timer; }
    // Held while a tick recomputes the level spectrum.
    wxMutex& refreshLock() { return m_refreshLock; }

private:
    wxTimer m_timer;
    std::unique_ptr<wxSound> m_sound;
    Countdown m_countdown;
    bool m_noSpectrum = false;
    bool m_toldNoDevice = false;
    wxMutex m_refreshLock;
};
