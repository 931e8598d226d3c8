#pragma once

#include "gui/frame/MyFrame.h"

// What the tests look at inside a main window, which keeps it private.
struct FrameProbe {
    MyFrame* f;
    CWavPara* wave() const { return f->m_sound.wave(); }
    CWorkMemory* work() const { return f->m_sound.work(); }
    // clang-format off
#define VOCALITH_PROBED(name) auto& name() const { return f->m_##name; }
    VOCALITH_PROBED(canvasPanel) VOCALITH_PROBED(canvasPanelUp) VOCALITH_PROBED(canvasPanelSub)
    VOCALITH_PROBED(canvasPanelSub2) VOCALITH_PROBED(curTitle) VOCALITH_PROBED(prevTitle)
    VOCALITH_PROBED(tourRunning) VOCALITH_PROBED(playback) VOCALITH_PROBED(voiceprintRunning)
    VOCALITH_PROBED(text) VOCALITH_PROBED(slider) VOCALITH_PROBED(jumptext)
    VOCALITH_PROBED(dlgProgress) VOCALITH_PROBED(priorlimit) VOCALITH_PROBED(playRepeat)
    VOCALITH_PROBED(panel) VOCALITH_PROBED(containSsft) VOCALITH_PROBED(searchtext)
    VOCALITH_PROBED(postext) VOCALITH_PROBED(playMute) VOCALITH_PROBED(paramBackup)
    VOCALITH_PROBED(lboxLog) VOCALITH_PROBED(filenametext) VOCALITH_PROBED(fileHistory)
    VOCALITH_PROBED(containBlank) VOCALITH_PROBED(zoomOffset) VOCALITH_PROBED(playNoSpect)
    VOCALITH_PROBED(inputBlock) VOCALITH_PROBED(priorLimit) VOCALITH_PROBED(executionSec)
    VOCALITH_PROBED(sound) VOCALITH_PROBED(memos)
    // clang-format on
};

// And inside one of its panels.
struct PanelProbe {
    myCanvasPanel* f;
    // clang-format off
    VOCALITH_PROBED(archbitmap) VOCALITH_PROBED(bufferHeight) VOCALITH_PROBED(camvasBitmap)
    VOCALITH_PROBED(dragImage) VOCALITH_PROBED(dragMode) VOCALITH_PROBED(draggedShape)
    VOCALITH_PROBED(highlightedShape) VOCALITH_PROBED(levelData) VOCALITH_PROBED(lineX)
    VOCALITH_PROBED(memoListener) VOCALITH_PROBED(memoPanel) VOCALITH_PROBED(menuPos)
    VOCALITH_PROBED(mouseEnabled) VOCALITH_PROBED(pitchData) VOCALITH_PROBED(pitchTop)
    VOCALITH_PROBED(plotKind) VOCALITH_PROBED(selLength) VOCALITH_PROBED(selStart)
    VOCALITH_PROBED(selWidth) VOCALITH_PROBED(selX) VOCALITH_PROBED(subPlot)
    VOCALITH_PROBED(voiceprintData) VOCALITH_PROBED(voiceprintMethod) VOCALITH_PROBED(waveCount)
    VOCALITH_PROBED(waveData)
    // clang-format on
#undef VOCALITH_PROBED
};

inline FrameProbe inside(const MyFrame* frame) {
    return {const_cast<MyFrame*>(frame)};
}

inline PanelProbe inside(const myCanvasPanel* panel) {
    return {const_cast<myCanvasPanel*>(panel)};
}
