// Saving and reading a memo list of 10,000 groups with 5 terms each (goal under 1 s each): the
// whole file is formatted and put in place (temporary file, fsync, rename), or read back into
// records. Every fifth term is Japanese, so the CP932 conversion is on the path both ways.

#include "engine/memo/MemoListFile.h"
#include "engine/sound/ParameterBlock.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const int kGroups = 10000;
const int kTerms = 5;

std::vector<MemoSlot> bigList() {
    ParameterValues v;
    v.sampleFreq = 44100;
    v.quantBit = 16;
    v.totalSamples = 44100 * 3600;
    v.ssftSize = 4096;
    v.interval = 512;
    v.repeatTimes = 853;
    v.noiseParameter = 0.0005f;
    v.freqHigh = 8000;
    v.dbLow = -160.0;
    const wxString block = wxString::FromUTF8(formatParameterBlock(v).c_str());
    const wxString japanese = wxString::FromUTF8("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
    std::vector<MemoSlot> slots(kGroups);
    for (int k = 0; k < kGroups; ++k) {
        MemoSlot& s = slots[k];
        s.param = std::make_unique<CArchMemo>();
        s.param->m_memoText = block;
        s.param->m_viewLength = 441000;
        s.param->m_viewStart = k * 1000;
        s.sub = std::make_unique<CArchMemo>();
        s.sub->m_memoText = "+";
        s.sub->SetMemoPrior(CArchMemo::MemoPrior(k % 3));
        s.sub->m_relX = float(k) / kGroups;
        for (int j = 0; j <= kTerms; ++j) {
            auto m = std::make_unique<CArchMemo>();
            m->m_memoText = j % 5 == 4 ? japanese + wxString::Format(" %d", j)
                                       : wxString::Format("memo %d of group %d\nsecond line", j, k);
            m->m_freq = 100 * j;
            m->m_relX = 0.1f * j;
            m->m_relY = 0.5f;
            s.terms.push_back(std::move(m));
        }
    }
    return slots;
}

std::string scratchPath() {
    char dir[] = "/tmp/vocalith-memobench-XXXXXX";
    return mkdtemp(dir) ? std::string(dir) + "/big.vlh" : std::string();
}

void MemoFileSave(benchmark::State& state) {
    const std::vector<MemoSlot> slots = bigList();
    const std::string path = scratchPath();
    size_t bytesWritten = 0;
    for (auto _ : state) {
        const std::vector<MemoSlotRef> refs = memoSlotRefs(slots);
        std::string bytes;
        std::string temporary;
        if (!formatMemoList(refs, bytes) ||
            replaceFileContents(path, bytes, temporary) != memoSaveOk) {
            state.SkipWithError("save failed");
            break;
        }
        bytesWritten = bytes.size();
    }
    state.counters["file_MB"] = double(bytesWritten) / 1e6;
    unlink(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
}
BENCHMARK(MemoFileSave)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void MemoFileRead(benchmark::State& state) {
    const std::string path = scratchPath();
    std::string bytes;
    std::string temporary;
    formatMemoList(memoSlotRefs(bigList()), bytes);
    if (replaceFileContents(path, bytes, temporary) != memoSaveOk) {
        state.SkipWithError("cannot write the list");
        return;
    }
    for (auto _ : state) {
        const MemoListRead list = readMemoListFile(path);
        if (list.result != MemoListRead::readOk || list.slots.size() != size_t(kGroups)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(list.slots.data());
    }
    unlink(path.c_str());
    rmdir(path.substr(0, path.rfind('/')).c_str());
}
BENCHMARK(MemoFileRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
