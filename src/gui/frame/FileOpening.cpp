#include <wx/filedlg.h>
#include <wx/filename.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/analysis/OpeningDefaults.h"
#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/SiblingPath.h"
#include "engine/sound/AudioConvert.h"
#include "engine/memo/MemoListFile.h"

#include <cstdio>
#include <memory>

namespace {

// Sound formats the added ways in decode, besides WAV files of other sample formats.
const char* const kConvertedExtensions = "flac ogg opus oga aif aiff aifc caf mp3 au w64";

// The kind of file a path names, by its file name's extension only (a folder such as
// "take.trn.d" says nothing), and where that extension starts.
struct KindAt {
    OpenSound::FileKind kind = OpenSound::fileWave;
    size_t pos = wxString::npos;
};

KindAt kindOfPath(const wxString& path) {
    const std::pair<const char*, OpenSound::FileKind> kinds[] = {
        {".vlh", OpenSound::fileMemoList},
        {".txt", OpenSound::fileMemoText},
        {".trn", OpenSound::fileTranscript}};
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
int requestedWindowOf(int kind, const std::optional<std::string>& base) {
    if (!base || kind == OpenSound::fileTranscript)
        return 0;
    MemoListRead list;
    if (kind != OpenSound::fileMemoText)
        list = readMemoListFile(*base + ".vlh");
    if (kind == OpenSound::fileMemoText ||
        (kind == OpenSound::fileWave && list.result == MemoListRead::readOpenFailed))
        list = readMemoListFile(*base + ".txt");
    return list.result == MemoListRead::readOpenFailed || list.result == MemoListRead::readBadHeader
               ? 0
               : list.requestedWindowLen;
}

bool hasConvertedExtension(const wxString& path) {
    return wxSplit(kConvertedExtensions, ' ').Index(wxFileName(path).GetExt().Lower()) !=
           wxNOT_FOUND;
}

// Whether File > Open would most likely open what the reader refused: a WAV file in another
// sample format, or a file of a sound format it converts.
bool convertsLater(CWavPara::resultWavPara read, const std::string& path) {
    return read == CWavPara::resultQuantBit || read == CWavPara::resultNotPcm ||
           (read == CWavPara::resultReadError &&
            hasConvertedExtension(wxString::FromUTF8(path.c_str())));
}

// The path without its file name's extension ("take.flac" gives "take").
std::string withoutExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash)
               ? path.substr(0, dot)
               : path;
}

std::unique_ptr<CWavPara> newWave(int requestedWindowLen, AnalysedChannel channel) {
    std::unique_ptr<CWavPara> wave(requestedWindowLen != 0 ? new CWavPara(requestedWindowLen)
                                                           : new CWavPara());
    VOCALITH_REQUIRE(wave, "wave");
    wave->m_analysedChannel = channel;
    return wave;
}

} // namespace

wxString MyFrame::chooseFileToOpen(bool otherSounds) {
    wxString wildcard = "WAV files (*.wav)|*.wav|memo files (*.vlh)|*.vlh|memo(old) files "
                        "(*.txt)|*.txt|transcript files (*.trn)|*.trn";
    // File > Open also offers what it converts.
    if (otherSounds)
        wildcard = "sound files (*.wav;*.flac;*.ogg;*.opus;*.oga;*.aif;*.aiff;*.aifc;*.caf;"
                   "*.mp3;*.au;*.w64)|*.wav;*.flac;*.ogg;*.opus;*.oga;*.aif;*.aiff;*.aifc;"
                   "*.caf;*.mp3;*.au;*.w64|" +
                   wildcard;
    wxFileDialog dialog(this, "Choose a sound file or memo file", "", "", wildcard,
                        wxFD_OPEN | wxFD_CHANGE_DIR);
    if (dialog.ShowModal() != wxID_OK) {
        wxLogMessage("Please select wave format file.");
        return wxString();
    }
    // GTK's chooser reports its selection only once it has been on screen; a dialog answered
    // without being shown still knows the path it was given.
    const wxString path = dialog.GetPath();
    return path.IsEmpty() ? dialog.wxFileDialogBase::GetPath() : path;
}

void MyFrame::OnRead(wxCommandEvent&) {
    Refresh();
    Update();
    if (!mayRun(Action::editMemos))
        return;
    wxCommandEvent stop;
    OnStop(stop);
    const wxString path = chooseFileToOpen(false);
    if (!path.IsEmpty())
        openFile(path, openedByReadWave);
}

void MyFrame::OnOpen(wxCommandEvent&) {
    if (!mayRun(Action::editMemos))
        return;
    const wxString path = chooseFileToOpen(true);
    if (!path.IsEmpty())
        openFile(path, openedByMenu);
}

wxString MyFrame::notASoundLine(const wxString& path) {
    return wxFileName(path).GetFullName() +
           " is not a sound Vocalith reads: open a .wav file or a sound it converts (.flac, "
           ".ogg, .opus, .aiff, .caf, .mp3, .au, .w64), or the .vlh, .txt or .trn memo file "
           "beside one.";
}

bool MyFrame::openFile(const wxString& path, OpenedBy way) {
    const bool chosenInDialog = way == openedByReadWave || way == openedByMenu;
    // The dialogs' own buttons are refused while a tour runs; a drop or a recent file says why.
    if (!mayRun(Action::replaceList)) {
        if (!mayRun(Action::editMemos)) {
            if (!chosenInDialog)
                wxLogMessage("%s waits: stop the memo tour first, then open it again.", path);
        } else {
            wxLogMessage("%s waits: a voiceprint is being computed; open it when it has finished.",
                         path);
        }
        return false;
    }
    if (!chosenInDialog) {
        const wxString ext = wxFileName(path).GetExt().Lower();
        if (!hasConvertedExtension(path) &&
            wxSplit("wav vlh txt trn", ' ').Index(ext) == wxNOT_FOUND) {
            wxLogMessage("%s", notASoundLine(path));
            return false;
        }
        if (!wxFileName::FileExists(path)) {
            wxLogMessage("%s does not exist.", path);
            return false;
        }
    }
    if (!keepMemoChanges("Save changes to the memo list before opening another file?"))
        return false;
    wxCommandEvent stop;
    OnStop(stop);
    // Made absolute once, here: later a relative name would depend on the working folder.
    wxFileName name(path);
    name.MakeAbsolute();
    m_sound.waveFileName = name.GetFullPath();
    m_sound.chosenFileName = name.GetFullName();
    // Relative names in memo files are meant from the chosen file's folder.
    wxSetWorkingDirectory(name.GetPath());
    readCommon(way != openedByReadWave);
    return true;
}

int MyFrame::readCommon() {
    return readCommon(false);
}

int MyFrame::readCommon(bool convert) {
    if (!mayRun(Action::editMemos) || m_sound.waveFileName.IsEmpty() ||
        m_sound.chosenFileName.IsEmpty())
        return 0;
    // Nothing of the open recording (names, sound, work memory, memo list) changes until the
    // new one has been read and checked; a refusal puts the names back as well.
    auto refuse = [this](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            wxLogMessage("%s", wxString::FromUTF8(line.c_str()));
        m_sound.restoreNames();
        return 0;
    };
    // A running voiceprint writes the work memory that opening replaces.
    if (m_voiceprintRunning)
        return refuse({});

    const wxString chosenPath = m_sound.waveFileName; // made absolute where it entered
    const KindAt found = kindOfPath(m_sound.waveFileName);
    const OpenSound::FileKind kind = found.kind;
    const std::string path =
        utf8(kind != OpenSound::fileWave ? m_sound.waveFileName.substr(0, found.pos) + ".wav"
                                         : m_sound.waveFileName);
    const std::optional<std::string> wavBase = siblingPath(path, "");
    // A sound the added ways convert is named by its own extension instead.
    if (!wavBase && !(convert && hasConvertedExtension(chosenPath)))
        wxLogMessage("ext name not .wav");
    wxLogMessage("%s read.", wxString::FromUTF8(path.c_str()));
    Refresh();
    Update();

    std::unique_ptr<CWavPara> wave = newWave(requestedWindowOf(kind, wavBase), m_sound.channel);
    SoundRead read;
    read.problem = checkInputFile(path);
    if (read.problem == InputProblem::none)
        read.read = wave->setSizeFromWav(path.c_str());
    // Other formats are decoded in memory; nothing is written beside the recording.
    if (convert && read.problem == InputProblem::none && worthConverting(read.read)) {
        read = readSound(*wave, path);
        // Its memo files are named after the recording itself: take.flac, take.vlh.
        if (read.converted && !wavBase) {
            const int window = requestedWindowOf(kind, withoutExtension(path));
            if (window != 0 && window != wave->m_windowMax) {
                wave = newWave(window, m_sound.channel);
                read = readSound(*wave, path);
            }
        }
        if (read.converted)
            wxLogMessage("%s converted to 16 bits in memory.", wxString::FromUTF8(path.c_str()));
    }
    const std::string base =
        read.converted && !wavBase ? withoutExtension(path) : wavBase.value_or(path);
    if (read.read != CWavPara::resultOK) {
        std::vector<std::string> lines = refusalLines(read);
        // The designed ways in refuse what the reader refuses; the added ones convert.
        if (!convert && read.problem == InputProblem::none && convertsLater(read.read, path))
            lines.push_back("File > Open\u2026 or a drop on the window opens it converted to 16 "
                            "bits.");
        return refuse(lines);
    }

    const OpeningDefaults d = openingDefaults(wave->m_sampleFreq, wave->m_windowLen);
    // A sound shorter than one transform and a hop has no frame to show.
    if (d.repeatTimes < 1)
        return refuse({"data length not enough."});
    auto work = std::make_unique<CWorkMemory>();
    if (work->setSize(d.ssftSize, wave->m_windowLen, CWorkMemory::senseNormal, d.interval,
                      d.repeatTimes) != CWorkMemory::resultOk)
        return refuse({"memory allocation failed."});
    if (wave->setRangeXY(d.freqLow, d.freqHigh, d.dbLow, d.dbHigh) != CWavPara::resultOK)
        return refuse({"parameter wrong."});

    // Accepted: the open recording goes. The panels borrow the old arrays.
    for (myCanvasPanel* panel :
         {m_canvasPanelSub, m_canvasPanelSub2, m_canvasPanelUp, m_canvasPanel})
        panel->forgetData();
    m_sound.replace(std::move(wave), std::move(work));
    m_sound.kind = kind;
    m_sound.waveFileName = wxString::FromUTF8(path.c_str());
    m_sound.converted = read.converted;
    m_sound.baseFileName = wxString::FromUTF8(base.c_str());
    m_jumptext->Clear();
    m_jumptext->AppendText(wxString::Format("%ld", static_cast<long>(m_sound.wave()->m_windowMax)));
    if (m_sound.kind == OpenSound::fileTranscript) {
        readTrn();
    } else {
        readMemo();
    }
    m_sound.keepNames();
    if (m_sound.wave()->m_sampleFreq < 16000)
        wxLogMessage("too low SamplFreq to play sound.");

    CWavPara& opened = *m_sound.wave();
    if (opened.m_channelCount == 2)
        wxLogMessage("%s", wxString::FromUTF8(analysedChannelLine(m_sound.channel).c_str()));
    updateChannelMenu();
    opened.m_cursor = 0;
    opened.m_windowStart = 0;
    opened.m_noiseParameter = d.noiseParameter;
    opened.m_cursorRange = opened.m_windowLen - m_sound.work()->m_excutionSize;
    opened.m_samplesPerSliderStep = static_cast<double>(opened.m_cursorRange) / opened.m_sliderMax;

    opened.setSiii();
    analyseStretch();
    readBase();
    m_fileHistory->AddFileToHistory(chosenPath);
    m_zoomOffset = 0;
    m_slider->SetRange(0, opened.m_sliderMax);
    m_slider->SetValue(0);
    return 0;
}
