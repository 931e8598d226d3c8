#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <unistd.h>

#include "gui/frame/MyFrame.h"
#include "gui/app/Require.h"
#include "engine/memo/CArchMemo.h"
#include "engine/sound/CWavPara.h"
#include "engine/sound/OutputFile.h"
#include "engine/sound/WavHeader.h"

namespace {

// The integer after key in a parameter block: the text up to the next "[", trimmed on the
// right. False when the key is missing or the text is not a whole base-10 number inside 32 bits.
bool blockInteger(const wxString& text, const char* key, int64_t* value) {
    const size_t at = text.find(key);
    if (at == wxString::npos)
        return false;
    const size_t from = at + std::strlen(key);
    const size_t to = text.find('[', from);
    wxString number = text.substr(from, to == wxString::npos ? wxString::npos : to - from);
    number.Trim(true);
    long parsed = 0;
    if (!number.ToLong(&parsed, 10) || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    *value = parsed;
    return true;
}

// One group's stretch in the sound: where its view put it, and the part of it that exists.
struct Stretch {
    int64_t first = 0;  // file sample of the view's start plus the stretch's offset in it
    int64_t length = 0; // (RepeatTimes - 1) * Interval + SsftSize
    int64_t from = 0;   // first sample exported
    int64_t count = 0;  // samples exported
};

// The stretch cut to the samples the sound has, so that nothing is read beyond them.
void clampToSound(Stretch& s, int64_t totalSamples) {
    const int64_t from = std::max<int64_t>(s.first, 0);
    const int64_t end = std::min(s.first + std::max<int64_t>(s.length, 0), totalSamples);
    s.from = from;
    s.count = std::max<int64_t>(end - from, 0);
}

// The first `count` records of a list, null where it is shorter. One walk: reaching each
// group from the list's head would make a long list's export quadratic.
std::vector<const CArchMemo*> recordsOf(const wxList& list, size_t count) {
    std::vector<const CArchMemo*> records(count, nullptr);
    size_t i = 0;
    for (auto node = list.GetFirst(); node && i < count; node = node->GetNext())
        records[i++] = static_cast<const CArchMemo*>(node->GetData());
    return records;
}

// Little-endian 16-bit samples, whatever the host, as the header promises.
bool writeSamples(COutputFile& out, const int16_t* samples, int64_t count, unsigned char* bytes) {
    for (int64_t i = 0; i < count; ++i) {
        const uint16_t v = uint16_t(samples[i]);
        bytes[2 * i] = static_cast<unsigned char>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<unsigned char>(v >> 8);
    }
    return out.write(bytes, size_t(2 * count));
}

bool writeSilence(COutputFile& out, int64_t count, unsigned char* bytes, int64_t chunk) {
    std::memset(bytes, 0, size_t(2 * std::min(count, chunk)));
    for (int64_t left = count; left > 0; left -= chunk) {
        if (!out.write(bytes, size_t(2 * std::min(left, chunk))))
            return false;
    }
    return true;
}

// Both wave and the window's start are the caller's; the window is moved over the stretch one
// window's length at a time.
bool writeStretch(COutputFile& out, CWavPara& wave, const Stretch& s, unsigned char* bytes) {
    int64_t from = s.from;
    for (int64_t left = s.count; left > 0;) {
        wave.m_windowStart = int32_t(from);
        wave.setSiiiIntMid();
        const int64_t n = std::min<int64_t>(left, wave.m_windowLen);
        if (!writeSamples(out, wave.m_windowInt, n, bytes))
            return false;
        from += n;
        left -= n;
    }
    return true;
}

} // namespace

void MyFrame::OnExportWav(wxCommandEvent&) {
    if (!mayRun(Action::editMemos) || m_canvasPanelUp->selLength() < 1)
        return;
    CWavPara& wave = *m_sound.wave();
    if (wave.m_windowLen <= 0 || !wave.m_windowInt)
        return;
    const size_t groups = m_memos.count();
    if (groups == 0) {
        wxLogMessage("memo not found to export");
        return;
    }
    VOCALITH_REQUIRE(m_containBlank, "m_containBlank");
    const bool blank = m_containBlank->GetValue();
    m_priorLimit = m_priorlimit ? m_priorlimit->GetSelection() : 0;

    const std::vector<const CArchMemo*> params = recordsOf(m_memos.params(), groups);
    const std::vector<const CArchMemo*> subs = recordsOf(m_memos.subs(), groups);
    auto exported = [&](size_t i) {
        if (!subs[i]) {
            wxLogMessage("memo list wrong.");
            return false;
        }
        return int(subs[i]->GetMemoPrior()) <= m_priorLimit;
    };

    // Sizes and the total in one walk that stops at the first group the file cannot hold, so a
    // list of a hundred thousand groups is refused at once.
    std::vector<Stretch> stretches(groups);
    const int64_t bytesPerSample = blank ? 4 : 2; // a blank doubles every stretch
    int64_t total = 0;
    for (size_t i = 0; i < groups; ++i) {
        const CArchMemo* param = params[i];
        if (!param) {
            wxLogMessage("memo list wrong.");
            return;
        }
        int64_t ssft = 0, interval = 0, repeat = 0;
        if (!blockInteger(param->m_memoText, "[SsftSize]=", &ssft)) {
            wxLogMessage("[SsftSize] wrong, back parameter.");
            return;
        }
        if (!blockInteger(param->m_memoText, "[Interval]=", &interval)) {
            wxLogMessage("[Interval] wrong, back parameter.");
            return;
        }
        if (!blockInteger(param->m_memoText, "[RepeatTimes]=", &repeat)) {
            wxLogMessage("[RepeatTimes] wrong, back parameter.");
            return;
        }
        Stretch& s = stretches[i];
        s.length = (repeat - 1) * interval + ssft;
        s.first = int64_t(param->m_viewStart) + param->m_viewCursor;
        if (!exported(i))
            continue;
        // An edited text or a memo list of another recording can name samples the sound
        // does not have.
        clampToSound(s, wave.m_totalSamples);
        if (s.count != s.length)
            wxLogMessage("memo %d outside the sound, %lld of %lld samples exported.",
                         subs[i]->m_titleNo, (long long)s.count, (long long)s.length);
        total += s.count;
        // The header's size fields are 32 bits.
        if (bytesPerSample * total > int64_t(UINT32_MAX) - 36) {
            wxLogMessage("too long to export as one wave file");
            return;
        }
    }
    if (blank)
        total *= 2;
    unsigned char header[kWavHeaderBytes];
    writeWavHeader(header, uint32_t(2 * total), wave.m_sampleFreq, int16_t(wave.m_quantBit), 1);

    const std::optional<wxString> target =
        m_sound.beside(blank ? "-ExportFromMemo-wb.wav" : "-ExportFromMemo.wav");
    if (!target)
        return;
    const wxString& name = *target;

    // One window's worth of samples at a time.
    const int64_t chunk = wave.m_windowLen;
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size_t(2 * chunk)]);
    VOCALITH_REQUIRE(bytes, "datadata");

    // Written beside the old export and renamed over it, so a failed export keeps the last one.
    COutputFile out;
    if (!out.open(std::string(name.fn_str()))) {
        wxLogMessage("could not create wave file to export");
        return;
    }
    bool written = out.write(header, kWavHeaderBytes);

    const int32_t viewStart = wave.m_windowStart;
    for (size_t i = 0; i < groups && written; ++i) {
        if (!exported(i))
            continue;
        written = writeStretch(out, wave, stretches[i], bytes.get()) &&
                  (!blank || writeSilence(out, stretches[i].count, bytes.get(), chunk));
    }
    // The view comes back as it was, its 16-bit window included.
    wave.m_windowStart = viewStart;
    wave.setSiiiIntMid();

    const COutputFile::resultOutput result = written ? out.commit() : COutputFile::outputFailed;
    if (result != COutputFile::outputOk) {
        // A cut file would look like a whole export whose header promises samples it lacks.
        if (result == COutputFile::outputKeptTemporary)
            ::unlink(out.temporaryPath().c_str());
        wxLogMessage("could not write wave file to export");
        return;
    }
    wxLogMessage("%s exported", name);
}
