#pragma once

#include "gui/frame/MyFrame.h"

// What the tests look at inside a main window, which keeps it private.
struct FrameProbe {
    MyFrame* f;
    OpenSound& sound() const { return f->m_sound; }
    CWavPara* wave() const { return f->m_sound.wave(); }
    CWorkMemory* work() const { return f->m_sound.work(); }
    MemoStore& memos() const { return f->m_memos; }
#define VOCALITH_PROBED(name)                                                                      \
    auto& name() const {                                                                           \
        return f->m_##name;                                                                        \
    }
    VOCALITH_PROBED(canvasPanel)
    VOCALITH_PROBED(canvasPanelUp)
    VOCALITH_PROBED(canvasPanelSub)
    VOCALITH_PROBED(canvasPanelSub2)
    VOCALITH_PROBED(curTitle)
    VOCALITH_PROBED(prevTitle)
    VOCALITH_PROBED(tourRunning)
    VOCALITH_PROBED(playback)
    VOCALITH_PROBED(voiceprintRunning)
    VOCALITH_PROBED(text)
    VOCALITH_PROBED(slider)
    VOCALITH_PROBED(jumptext)
    VOCALITH_PROBED(dlgProgress)
    VOCALITH_PROBED(priorlimit)
    VOCALITH_PROBED(playRepeat)
    VOCALITH_PROBED(panel)
    VOCALITH_PROBED(containSsft)
    VOCALITH_PROBED(searchtext)
    VOCALITH_PROBED(postext)
    VOCALITH_PROBED(playMute)
    VOCALITH_PROBED(paramBackup)
    VOCALITH_PROBED(lboxLog)
    VOCALITH_PROBED(filenametext)
    VOCALITH_PROBED(fileHistory)
    VOCALITH_PROBED(containBlank)
    VOCALITH_PROBED(zoomOffset)
    VOCALITH_PROBED(playNoSpect)
    VOCALITH_PROBED(inputBlock)
    VOCALITH_PROBED(priorLimit)
    VOCALITH_PROBED(executionSec)
#undef VOCALITH_PROBED
};

inline FrameProbe inside(const MyFrame* frame) {
    return {const_cast<MyFrame*>(frame)};
}
