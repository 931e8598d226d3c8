#include <wx/filedlg.h>
#include <wx/filename.h>

#include "engine/analysis/CWorkMemory.h"
#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/SiblingPath.h"

namespace {

// The kind of file a path names, by the first of the extensions that occurs anywhere in it
// (not only at its end), and where its last occurrence starts.
struct KindAt {
    MyFrame::FileKind kind = MyFrame::fileWave;
    size_t pos = wxString::npos;
};

KindAt kindOfPath(const wxString& path) {
    const std::pair<const char*, MyFrame::FileKind> kinds[] = {{".vlh", MyFrame::fileMemoList},
                                                               {".txt", MyFrame::fileMemoText},
                                                               {".trn", MyFrame::fileTranscript}};
    for (const auto& [ext, kind] : kinds) {
        const size_t pos = path.rfind(ext);
        if (pos != wxString::npos)
            return {kind, pos};
    }
    return {};
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
    if (m_tourRunning || m_waveFileName.IsEmpty() || m_chosenFileName.IsEmpty())
        return 0;

    const KindAt found = kindOfPath(m_waveFileName);
    m_fileKind = found.kind;
    if (m_fileKind != fileWave)
        m_waveFileName = m_waveFileName.substr(0, found.pos) + ".wav";
    m_baseFileName = besideWave("").value_or(m_waveFileName);
    wxLogMessage("%s read.", m_waveFileName);

    Refresh();
    Update();
    // The panels borrow the old sound's arrays and the work memory's; both go now.
    for (myCanvasPanel* panel :
         {m_canvasPanelSub, m_canvasPanelSub2, m_canvasPanelUp, m_canvasPanel})
        panel->forgetData();
    delete m_wavePara;
    m_wavePara = nullptr;

    if (m_fileKind != fileTranscript) {
        m_requestedWindowLen = 0;
        readMemo();
    }
    m_wavePara = m_fileKind != fileTranscript && m_requestedWindowLen != 0
                     ? new CWavPara(m_requestedWindowLen)
                     : new CWavPara();
    VOCALITH_REQUIRE(m_wavePara, "m_wavePara");
    m_jumptext->Clear();
    m_jumptext->AppendText(wxString::Format("%ld", static_cast<long>(m_wavePara->m_windowMax)));

    const CWavPara::resultWavPara read = m_wavePara->setSizeFromWav(m_waveFileName.utf8_str());
    if (read != CWavPara::resultOK) {
        wxLogMessage("wave file reading failed.");
        if (read == CWavPara::resultChannelCount)
            wxLogMessage("channel count 1 or 2.");
        else if (read == CWavPara::resultQuantBit)
            wxLogMessage("quat bit 16.");
        else if (read == CWavPara::resultNotPcm)
            wxLogMessage("wave format not integer PCM.");
        return 0;
    }
    if (m_fileKind == fileTranscript)
        readTrn();

    CWavPara& wave = *m_wavePara;
    if (wave.m_sampleFreq < 16000)
        wxLogMessage("too low SamplFreq to play sound.");

    wave.m_cursor = 0;
    wave.m_windowStart = 0;
    wave.m_noiseParameter = 0.0005f;
    const bool lowRate = wave.m_sampleFreq <= 22049;
    const long ssftSize = lowRate ? 2048 : 4096;
    const long repeatTimes = (static_cast<long>(wave.m_windowLen) - 1 - ssftSize) / 512;
    // A sound shorter than one transform and a hop has no frame to show.
    if (repeatTimes < 1) {
        wxLogMessage("data length not enough.");
        return 0;
    }
    if (m_workPara->setSize(ssftSize, wave.m_windowLen, CWorkMemory::senseNormal, 512,
                            repeatTimes) != CWorkMemory::resultOk) {
        wxLogMessage("memory allocation failed.");
        return 0;
    }
    const CWavPara::resultWavPara ranges =
        lowRate ? wave.setRangeXY(0, 6000, -130.0, 0.0) : wave.setRangeXY(0, 8000, -160.0, 0.0);
    if (ranges != CWavPara::resultOK) {
        wxLogMessage("parameter wrong.");
        return 0;
    }
    wave.m_cursorRange = wave.m_windowLen - m_workPara->m_excutionSize;
    wave.m_samplesPerSliderStep = static_cast<double>(wave.m_cursorRange) / wave.m_sliderMax;

    wave.setSiii();
    analyseStretch();
    readBase();
    m_zoomOffset = 0;
    m_slider->SetRange(0, wave.m_sliderMax);
    m_slider->SetValue(0);
    return 0;
}
