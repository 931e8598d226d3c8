#include "engine/memo/MemoExchange.h"

#include "engine/memo/MemoListFile.h"
#include "engine/sound/AudioConvert.h"
#include "engine/sound/CWavPara.h"

namespace {

// The sound's facts, read as every front end opens a sound (other formats converted).
bool openFacts(const std::string& path, CWavPara& wave, MemoExchange& x) {
    const SoundRead read = readSound(wave, path);
    for (const std::string& line : refusalLines(read))
        x.lines.push_back(line);
    return read.read == CWavPara::resultOK;
}

} // namespace

MemoExchange exportMemoListFile(const std::string& listPath, MemoExportFormat format,
                                const std::string& wavPath, int panelWidth) {
    MemoExchange x;
    const MemoListRead list = readMemoListFile(listPath);
    if (list.result == MemoListRead::readOpenFailed) {
        x.lines.push_back("cannot read " + listPath + ".");
        return x;
    }
    if (list.result == MemoListRead::readBadHeader) {
        x.lines.push_back("memo list uncorrect ( internal error ).");
        return x;
    }
    MemoExportSound sound;
    sound.panelWidth = panelWidth;
    if (!wavPath.empty()) {
        CWavPara wave;
        if (!openFacts(wavPath, wave, x))
            return x;
        sound.sampleFreq = wave.m_sampleFreq;
        sound.totalSamples = wave.m_totalSamples;
    }
    MemoExport result = exportMemos(memoSlotRefs(list.slots), format, sound);
    x.lines = std::move(result.notes);
    for (int line : list.damagedLines)
        x.lines.push_back("memo list line " + std::to_string(line) + " damaged, read as 0.");
    // Half a list exported over a whole one's export would be a silent loss; the window
    // keeps what can be read.
    if (list.result == MemoListRead::readDamaged || !list.damagedLines.empty()) {
        x.lines.push_back("memo list read failed.");
        return x;
    }
    x.ok = true;
    x.bytes = std::move(result.text);
    x.groups = result.groups;
    x.memos = result.memos;
    return x;
}

MemoExchange importMemoListFile(const std::string& path, const std::string& wavPath,
                                int panelWidth) {
    MemoExchange x;
    CWavPara wave;
    if (!openFacts(wavPath, wave, x))
        return x;
    MemoImportSound sound = memoImportSoundOf(wave);
    sound.panelWidth = panelWidth;
    MemoImport imported = importMemoFile(path, sound);
    if (imported.result == MemoImport::importOpenFailed) {
        x.lines.push_back("cannot read " + path + ".");
        return x;
    }
    x.lines = std::move(imported.notes);
    if (imported.result == MemoImport::importDamaged) {
        x.lines.push_back(imported.message);
        x.lines.push_back("quit to read " + path);
        return x;
    }
    formatMemoList(memoSlotRefs(imported.slots), x.bytes);
    x.ok = true;
    x.groups = int(imported.slots.size());
    return x;
}
