#include "gui/frame/OpenSound.h"

#include <algorithm>

#include <wx/log.h>

#include "engine/analysis/CWorkMemory.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/ParameterBlock.h"
#include "engine/sound/SiblingPath.h"

OpenSound::OpenSound()
    : m_wave(std::make_unique<CWavPara>()), m_work(std::make_unique<CWorkMemory>()) {}

OpenSound::~OpenSound() = default;

void OpenSound::replace(std::unique_ptr<CWavPara> wave, std::unique_ptr<CWorkMemory> work) {
    m_wave = std::move(wave);
    if (work)
        m_work = std::move(work);
}

bool OpenSound::stretchFits() const {
    const CWavPara& wave = *m_wave;
    const CWorkMemory& work = *m_work;
    return wave.m_window && work.m_wave && work.m_ssftSize <= work.m_maxSize &&
           work.m_excutionSize > 0 && work.m_excutionSize <= wave.m_windowLen;
}

long OpenSound::clampCursor(long cursor) const {
    const long last =
        std::min<long>(m_wave->m_cursorRange, long(m_wave->m_windowLen) - m_work->m_excutionSize);
    return std::max(0L, std::min(cursor, last));
}

std::string OpenSound::positionText(long cursor, bool withTrailingSpace) const {
    return formatPosition(int64_t(m_wave->m_windowStart) + cursor, m_wave->m_sampleFreq,
                          withTrailingSpace);
}

std::optional<wxString> OpenSound::beside(const char* suffix) const {
    // A converted sound's files are named after the recording itself (take.flac, take.vlh).
    if (converted)
        return baseFileName + suffix;
    const std::optional<std::string> name = siblingPath(waveFileName.utf8_string(), suffix);
    if (!name) {
        wxLogMessage("ext name not .wav");
        return std::nullopt;
    }
    return wxString::FromUTF8(*name);
}

void OpenSound::keepNames() {
    m_shownWaveFileName = waveFileName;
    m_shownChosenFileName = chosenFileName;
}

void OpenSound::restoreNames() {
    waveFileName = m_shownWaveFileName;
    chosenFileName = m_shownChosenFileName;
}
