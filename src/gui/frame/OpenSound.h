#pragma once

#include <memory>
#include <optional>
#include <string>

#include <wx/string.h>

#include "engine/sound/AnalysedChannel.h"

class CWavPara;
class CWorkMemory;

// The recording on screen: its samples and wave parameters, the analysis work memory, its
// names and what the user opened. A refused opening leaves all of it as it was.
class OpenSound {
public:
    // What the user opened: the sound itself or a memo file beside it.
    enum FileKind : int { fileWave = 0, fileMemoList = 1, fileMemoText = 2, fileTranscript = 3 };

    OpenSound();
    ~OpenSound();
    OpenSound(const OpenSound&) = delete;
    OpenSound& operator=(const OpenSound&) = delete;

    CWavPara* wave() const { return m_wave.get(); }
    CWorkMemory* work() const { return m_work.get(); }
    // A sound read afresh takes the place of the open one; so does its work memory, if given.
    void replace(std::unique_ptr<CWavPara> wave, std::unique_ptr<CWorkMemory> work = nullptr);

    // The stretch fits the window only when the analysis sizes and the window agree; otherwise
    // nothing may be copied out of the window.
    bool stretchFits() const;
    // A window offset the stretch can start at.
    long clampCursor(long cursor) const;
    // The time of a window offset as the position box shows it.
    std::string positionText(long cursor, bool withTrailingSpace) const;
    // The file beside the sound with `suffix` in place of ".wav"; logs "ext name not .wav" and
    // gives nothing when the sound's name holds no ".wav".
    std::optional<wxString> beside(const char* suffix) const;

    // The names now become those of the recording on screen, which restoreNames puts back.
    void keepNames();
    void restoreNames();

    wxString waveFileName;   // the WAV (or converted sound), absolute
    wxString chosenFileName; // the name of the file the user chose
    wxString baseFileName;   // what memo lists, pictures and exports are named after
    FileKind kind = fileWave;
    bool converted = false;                          // decoded from another format in memory
    AnalysedChannel channel = AnalysedChannel::left; // kept for every file opened
    int requestedWindowLen = 0; // window length a memo file asks for; 0 for the default

private:
    std::unique_ptr<CWavPara> m_wave;
    std::unique_ptr<CWorkMemory> m_work;
    wxString m_shownWaveFileName;
    wxString m_shownChosenFileName;
};
