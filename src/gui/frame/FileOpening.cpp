#include <wx/filedlg.h>
#include <wx/filename.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/SiblingPath.h"
#include "engine/sound/AudioConvert.h"
#include "engine/memo/MemoListFile.h"

#include <cstdio>
#include <memory>

namespace {

// The kind of file a path names, by its file name's extension only (a folder such as
// "take.trn.d" says nothing), and where that extension starts.
struct KindAt {
    MyFrame::FileKind kind = MyFrame::fileWave;
    size_t pos = wxString::npos;
};

KindAt kindOfPath(const wxString& path) {
    const std::pair<const char*, MyFrame::FileKind> kinds[] = {{".vlh", MyFrame::fileMemoList},
                                                               {".txt", MyFrame::fileMemoText},
                                                               {".trn", MyFrame::fileTranscript}};
    // Only the name's own ending counts, never a folder's ("take.trn.d/talk.wav" is a WAV).
    for (const auto& [ext, kind] : kinds) {
        const size_t pos = path.rfind(ext);
        if (pos != wxString::npos && pos + 4 == path.length())
            return {kind, pos};
    }
    return {};
}

std::string utf8(const wxString& s) {
    const wxScopedCharBuffer bytes = s.utf8_str();
    return std::string(bytes.data(), bytes.length());
}

// The window length the memo file that readMemo will load asks for (the same files, in the
// same order), so the sound can be read before anything of the open one is let go.
int requestedWindowOf(int kind, const std::string& wavePath) {
    const std::optional<std::string> base = siblingPath(wavePath, "");
    if (!base || kind == MyFrame::fileTranscript)
        return 0;
    MemoListRead list;
    if (kind != MyFrame::fileMemoText)
        list = readMemoListFile(*base + ".vlh");
    if (kind == MyFrame::fileMemoText ||
        (kind == MyFrame::fileWave && list.result == MemoListRead::readOpenFailed))
        list = readMemoListFile(*base + ".txt");
    return list.result == MemoListRead::readOpenFailed || list.result == MemoListRead::readBadHeader
               ? 0
               : list.requestedWindowLen;
}

std::unique_ptr<CWavPara> newWave(int requestedWindowLen, AnalysedChannel channel) {
    std::unique_ptr<CWavPara> wave(requestedWindowLen != 0 ? new CWavPara(requestedWindowLen)
                                                           : new CWavPara());
    VOCALITH_REQUIRE(wave, "m_wavePara");
    wave->m_analysedChannel = channel;
    return wave;
}

} // namespace

std::optional<wxString> MyFrame::besideWave(const char* suffix) const {
    const std::optional<std::string> name = siblingPath(m_waveFileName.utf8_string(), suffix);
    if (!name) {
        wxLogMessage("ext name not .wav");
        return std::nullopt;
    }
    return wxString::FromUTF8(*name);
}

void MyFrame::OnRead(wxCommandEvent&) {
    Refresh();
    Update();
    if (m_tourRunning)
        return;
    if (!keepMemoChanges("Save changes to the memo list before opening another file?"))
        return;
    wxCommandEvent stop;
    OnStop(stop);
    wxFileDialog dialog(this, "Choose a sound file or memo file", "", "",
                        "sound files (*.wav;*.flac;*.ogg;*.opus;*.oga;*.aif;*.aiff;*.aifc;*.caf;"
                        "*.mp3;*.au;*.w64)|*.wav;*.flac;*.ogg;*.opus;*.oga;*.aif;*.aiff;*.aifc;"
                        "*.caf;*.mp3;*.au;*.w64|"
                        "WAV files (*.wav)|*.wav|memo files (*.vlh)|*.vlh|memo(old) files "
                        "(*.txt)|*.txt|transcript files (*.trn)|*.trn",
                        wxFD_OPEN | wxFD_CHANGE_DIR);
    if (dialog.ShowModal() != wxID_OK) {
        wxLogMessage("Please select wave format file.");
        return;
    }
    m_waveFileName = dialog.GetPath();
    // GTK's chooser reports its selection only once it has been on screen; a dialog answered
    // without being shown still knows the path it was given.
    if (m_waveFileName.IsEmpty())
        m_waveFileName = dialog.wxFileDialogBase::GetPath();
    m_chosenFileName = wxFileName(m_waveFileName).GetFullName();
    // Relative names in memo files are meant from the chosen file's folder.
    wxSetWorkingDirectory(wxPathOnly(m_waveFileName));
    readCommon();
}

int MyFrame::readCommon() {
    if (m_waveFileName.IsEmpty() || m_chosenFileName.IsEmpty())
        return 0;
    // Nothing of the open recording (names, sound, work memory, memo list) changes until the
    // new one has been read and checked; a refusal puts the names back as well.
    auto refuse = [this](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            wxLogMessage("%s", wxString::FromUTF8(line.c_str()));
        m_waveFileName = m_openedWaveFileName;
        m_chosenFileName = m_openedChosenFileName;
        return 0;
    };
    // A running voiceprint writes the work memory that opening replaces.
    if (m_tourRunning || m_voiceprintRunning)
        return refuse({});

    const KindAt found = kindOfPath(m_waveFileName);
    const int kind = found.kind;
    std::string path =
        utf8(kind != fileWave ? m_waveFileName.substr(0, found.pos) + ".wav" : m_waveFileName);
    wxLogMessage("%s read.", wxString::FromUTF8(path.c_str()));
    Refresh();
    Update();

    // A memo file or transcript belongs to this name even when the sound is converted.
    const std::string memoWave = path;
    std::unique_ptr<CWavPara> wave = newWave(requestedWindowOf(kind, path), m_analysedChannel);
    SoundRead read;
    read.read = wave->setSizeFromWav(path.c_str());
    std::string written; // a conversion made now, removed again if the sound is refused
    if (worthConverting(read.read)) {
        // Other formats become a 16-bit WAV file, which is then opened like any other.
        const WavConversion made = convertBeside(path, userCacheFolder());
        read.triedConversion = true;
        read.conversion = made.result;
        if (made.result == ConvertResult::ok) {
            const wxString from = wxString::FromUTF8(path.c_str());
            const wxString to = wxString::FromUTF8(made.path.c_str());
            if (made.inCache)
                wxLogMessage("%s cannot be written, converting into %s.", wxPathOnly(from),
                             wxPathOnly(to));
            if (made.reused) {
                wxLogMessage("%s holds the same sound, opened.", to);
            } else {
                wxLogMessage("%s converted to %s.", from, to);
                written = made.path;
            }
            path = made.path;
            wave = newWave(requestedWindowOf(kind, kind == fileWave ? path : memoWave),
                           m_analysedChannel);
            read.read = wave->setSizeFromWav(path.c_str());
        }
    }
    const auto refuseConverted = [&](const std::vector<std::string>& lines) {
        if (!written.empty())
            std::remove(written.c_str());
        return refuse(lines);
    };
    if (read.read != CWavPara::resultOK) {
        std::vector<std::string> lines = refusalLines(read);
        // A file is there, but neither the reader nor the converter made a sound of it.
        if (read.read == CWavPara::resultReadError && read.triedConversion &&
            read.conversion == ConvertResult::unreadable && wxFileExists(wxString::FromUTF8(path)))
            lines.push_back(utf8(notASoundLine(wxString::FromUTF8(path.c_str()))));
        return refuseConverted(lines);
    }

    const bool lowRate = wave->m_sampleFreq <= 22049;
    const long ssftSize = lowRate ? 2048 : 4096;
    const long repeatTimes = (static_cast<long>(wave->m_windowLen) - 1 - ssftSize) / 512;
    // A sound shorter than one transform and a hop has no frame to show.
    if (repeatTimes < 1)
        return refuseConverted({"data length not enough."});
    auto work = std::make_unique<CWorkMemory>();
    if (work->setSize(ssftSize, wave->m_windowLen, CWorkMemory::senseNormal, 512, repeatTimes) !=
        CWorkMemory::resultOk)
        return refuseConverted({"memory allocation failed."});
    const CWavPara::resultWavPara ranges =
        lowRate ? wave->setRangeXY(0, 6000, -130.0, 0.0) : wave->setRangeXY(0, 8000, -160.0, 0.0);
    if (ranges != CWavPara::resultOK)
        return refuseConverted({"parameter wrong."});

    // Accepted: the open recording goes. The panels borrow the old arrays.
    for (myCanvasPanel* panel :
         {m_canvasPanelSub, m_canvasPanelSub2, m_canvasPanelUp, m_canvasPanel})
        panel->forgetData();
    delete m_wavePara;
    m_wavePara = wave.release();
    delete m_workPara;
    m_workPara = work.release();
    m_fileKind = kind;
    m_waveFileName = wxString::FromUTF8((kind == fileWave ? path : memoWave).c_str());
    m_baseFileName = besideWave("").value_or(m_waveFileName);
    m_jumptext->Clear();
    m_jumptext->AppendText(wxString::Format("%ld", static_cast<long>(m_wavePara->m_windowMax)));
    if (m_fileKind == fileTranscript) {
        readTrn();
    } else {
        readMemo();
    }
    // From here on the names are the converted sound's: saving puts the memo list beside it.
    if (m_waveFileName != wxString::FromUTF8(path.c_str())) {
        m_waveFileName = wxString::FromUTF8(path.c_str());
        m_baseFileName = besideWave("").value_or(m_waveFileName);
    }
    m_openedWaveFileName = m_waveFileName;
    m_openedChosenFileName = m_chosenFileName;

    CWavPara& opened = *m_wavePara;
    if (opened.m_channelCount == 2)
        wxLogMessage("%s", wxString::FromUTF8(analysedChannelLine(m_analysedChannel).c_str()));
    updateChannelMenu();
    opened.m_cursor = 0;
    opened.m_windowStart = 0;
    opened.m_noiseParameter = 0.0005f;
    opened.m_cursorRange = opened.m_windowLen - m_workPara->m_excutionSize;
    opened.m_samplesPerSliderStep = static_cast<double>(opened.m_cursorRange) / opened.m_sliderMax;

    opened.setSiii();
    analyseStretch();
    readBase();
    m_zoomOffset = 0;
    m_slider->SetRange(0, opened.m_sliderMax);
    m_slider->SetValue(0);
    return 0;
}
