// vocalith._vocalith: the engine for Python, through the same functions vocalith-cli calls, so
// that arrays and files agree to the last bit. The pure-Python package (vocalith/__init__.py)
// turns keyword arguments into the command line's option words and documents the functions.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/analysis/AnalysisRun.h"
#include "engine/analysis/WholeRunFiles.h"
#include "engine/memo/MemoExchange.h"
#include "engine/memo/MemoListFile.h"
#include "engine/render/VoiceprintPng.h"
#include "engine/sound/AudioConvert.h"

namespace py = pybind11;

namespace {

// Raised as vocalith.Error (a ValueError) with the program's message.
struct VocalithError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string messageOf(const std::ostringstream& err, const std::string& fallback) {
    std::string m = err.str();
    while (!m.empty() && m.back() == '\n')
        m.pop_back();
    return m.empty() ? fallback : m;
}

// {"ssft": "2048", "fine": True, ...}: text for the valued options, booleans for the flags.
AnalysisOptions optionsOf(const py::dict& given) {
    AnalysisOptions o;
    for (const auto& item : given) {
        const std::string key = py::str(item.first);
        if (key == "fine" || key == "hamming" || key == "whole") {
            const bool on = item.second.cast<bool>();
            (key == "fine" ? o.fine : key == "hamming" ? o.hamming : o.whole) = on;
            continue;
        }
        std::optional<std::string>* slot = key == "start"      ? &o.start
                                           : key == "ssft"     ? &o.ssft
                                           : key == "interval" ? &o.interval
                                           : key == "frames"   ? &o.frames
                                           : key == "noise"    ? &o.noise
                                           : key == "threads"  ? &o.threads
                                           : key == "from"     ? &o.from
                                           : key == "to"       ? &o.to
                                           : key == "channel"  ? &o.channel
                                                               : nullptr;
        if (!slot)
            throw VocalithError("unknown option " + key + ".");
        *slot = item.second.cast<std::string>();
    }
    return o;
}

// A sound as the package hands it over: a file name, or (samples, rate, name) with the samples
// an int16 array of frames (1-D) or frames x 2, C-ordered, which `keep` holds while it is read.
struct Source {
    SoundSource sound;
    py::object keep;
};

Source sourceOf(const py::object& given) {
    Source s;
    if (!py::isinstance<py::tuple>(given)) {
        s.sound = SoundSource::file(given.cast<std::string>());
        return s;
    }
    const py::tuple t = given.cast<py::tuple>();
    if (t.size() != 3 || !py::isinstance<py::array_t<int16_t>>(t[0]))
        throw py::type_error("samples must be an int16 array.");
    const auto a = t[0].cast<py::array_t<int16_t>>();
    if (!(a.flags() & py::array::c_style) || a.ndim() < 1 || a.ndim() > 2 ||
        (a.ndim() == 2 && a.shape(1) != 2))
        throw py::type_error("samples must be C-ordered frames, or frames x 2.");
    s.keep = a;
    s.sound.samples = a.data();
    s.sound.frames = size_t(a.shape(0));
    s.sound.channels = a.ndim() == 1 ? 1 : 2;
    s.sound.rate = t[1].cast<long>();
    s.sound.path = t[2].cast<std::string>();
    return s;
}

void prepare(const Source& source, const AnalysisOptions& o, AnalysisSetup& s) {
    std::ostringstream err;
    std::string usage;
    Prepared p;
    {
        py::gil_scoped_release nogil;
        p = prepareAnalysis(source.sound, o, s, err, usage);
    }
    if (p == Prepared::usage)
        throw VocalithError(usage);
    if (p != Prepared::ok)
        throw VocalithError(messageOf(err, "analysis failed."));
}

py::array_t<double> vectorArray(const std::vector<double>& v) {
    py::array_t<double> a(py::ssize_t(v.size()));
    if (!v.empty())
        std::memcpy(a.mutable_data(), v.data(), v.size() * sizeof(double));
    return a;
}

py::dict pitch(const py::object& sound, const py::dict& options, bool withCsv) {
    const AnalysisOptions o = optionsOf(options);
    const Source source = sourceOf(sound);
    AnalysisSetup s;
    prepare(source, o, s);
    PitchTrack track;
    std::string csv;
    std::ostringstream err;
    bool ok;
    {
        py::gil_scoped_release nogil;
        ok = pitchTrack(s, track, {}, err);
        if (ok && withCsv)
            csv = formatPitchCsv(track);
    }
    if (!ok)
        throw VocalithError(messageOf(err, "pitch detection failed."));
    py::array_t<int64_t> frame(py::ssize_t(track.time.size()));
    for (size_t t = 0; t < track.time.size(); ++t)
        frame.mutable_data()[t] = int64_t(t);
    py::dict d;
    d["frame"] = frame;
    d["time_s"] = vectorArray(track.time);
    d["pitch_hz"] = vectorArray(track.pitch);
    d["pitch_level"] = vectorArray(track.pitchLevel);
    d["power"] = vectorArray(track.power);
    d["harmonics"] = vectorArray(track.harmonics);
    if (withCsv) {
        d["csv"] = py::bytes(csv);
        d["seconds"] = double(s.wave.m_totalSamples) / s.wave.m_sampleFreq;
    }
    return d;
}

py::dict runFacts(const AnalysisSetup& s);

// The planes and level spectra as `vocalith-cli voiceprint --npy` writes them, and what the
// run was: where its frames start, the parameters and the plot ranges opening set.
py::tuple voiceprint(const py::object& sound, const py::dict& options) {
    const AnalysisOptions o = optionsOf(options);
    const Source source = sourceOf(sound);
    AnalysisSetup s;
    prepare(source, o, s);
    const long bins = s.work.m_ssftSize / 2;
    // The planes are made before the run, so the run fills them without the interpreter.
    py::array_t<double> planes[3] = {
        py::array_t<double>({py::ssize_t(s.frames), py::ssize_t(bins)}),
        py::array_t<double>({py::ssize_t(s.frames), py::ssize_t(bins)}),
        py::array_t<double>({py::ssize_t(s.frames), py::ssize_t(bins)})};
    double* rows[3] = {planes[0].mutable_data(), planes[1].mutable_data(),
                       planes[2].mutable_data()};
    std::ostringstream err;
    bool ok;
    {
        py::gil_scoped_release nogil;
        const auto sink = [&](const AnalysisChunk& c, const CWorkMemory& w) {
            const double* from[3] = {w.m_hamDbMap, w.m_restoreDbMap, w.m_rectDbMap};
            const size_t count = size_t(c.frames) * size_t(bins);
            for (int p = 0; p < 3; ++p)
                std::memcpy(rows[p] + size_t(c.firstFrame) * size_t(bins), from[p],
                            count * sizeof(double));
            return true;
        };
        ok = runAnalysis(s, sink, {}, err);
    }
    if (!ok)
        throw VocalithError(messageOf(err, "memory allocation failed."));
    py::dict d;
    d["hamDbMap"] = planes[0];
    d["restoreDbMap"] = planes[1];
    d["rectDbMap"] = planes[2];
    d["hamDb"] = vectorArray(s.hamDb);
    d["restoreDb"] = vectorArray(s.restoreDb);
    d["rectDb"] = vectorArray(s.rectDb);
    return py::make_tuple(d, runFacts(s));
}

// What a run was: where its frames start, the parameters and the plot ranges opening set.
py::dict runFacts(const AnalysisSetup& s) {
    py::dict run;
    run["rate"] = long(s.wave.m_sampleFreq);
    run["first_sample"] = s.firstSample;
    run["frames_per_window"] = s.framesPerWindow;
    run["ssft"] = long(s.work.m_ssftSize);
    run["interval"] = long(s.work.m_interval);
    run["fine"] = s.work.m_senseMode == CWorkMemory::senseFine;
    run["noise"] = double(s.wave.m_noiseParameter);
    run["freq_range"] = py::make_tuple(long(s.wave.m_freqLow), long(s.wave.m_freqHigh));
    run["db_range"] = py::make_tuple(s.wave.m_dbLow, s.wave.m_dbHigh);
    return run;
}

// A whole run written to dir's .npy files as it is computed (writeWholeVoiceprintNpy); the
// run's facts.
py::dict voiceprintNpy(const py::object& sound, const py::dict& options, const std::string& dir) {
    const AnalysisOptions o = optionsOf(options);
    const Source source = sourceOf(sound);
    AnalysisSetup s;
    prepare(source, o, s);
    std::ostringstream err;
    std::vector<std::string> written;
    bool ok;
    {
        py::gil_scoped_release nogil;
        ok = writeWholeVoiceprintNpy(s, dir, {}, err, written);
    }
    if (!ok)
        throw VocalithError(messageOf(err, "voiceprint failed."));
    return runFacts(s);
}

// The PNG `vocalith-cli voiceprint --png` writes for the same run (a window's, not a whole one).
py::bytes voiceprintPng(const py::array_t<double, py::array::c_style>& restored,
                        const py::object& ham, const py::dict& run, const std::string& title,
                        int width, int height, bool plain) {
    if (restored.ndim() != 2)
        throw VocalithError("a voiceprint plane is frames x bins.");
    VoiceprintScene scene;
    scene.plane = restored.data();
    scene.frames = long(restored.shape(0));
    scene.bins = long(restored.shape(1));
    scene.sampleFreq = run["rate"].cast<long>();
    scene.interval = run["interval"].cast<long>();
    scene.firstSample = run["first_sample"].cast<long>();
    const auto freq = run["freq_range"].cast<std::pair<long, long>>();
    const auto db = run["db_range"].cast<std::pair<double, double>>();
    scene.freqLow = freq.first;
    scene.freqHigh = freq.second;
    scene.dbLow = db.first;
    scene.dbHigh = db.second;
    scene.title = pictureTitle(title);
    py::array_t<double, py::array::c_style> hamPlane;
    if (!ham.is_none()) {
        hamPlane = ham.cast<py::array_t<double, py::array::c_style>>();
        if (hamPlane.ndim() != 2 || hamPlane.shape(0) != restored.shape(0) ||
            hamPlane.shape(1) != restored.shape(1))
            throw VocalithError("the Hamming plane must have the restored plane's shape.");
    }
    std::string png;
    {
        py::gil_scoped_release nogil;
        png = plain ? plainVoiceprintPng(scene)
                    : labelledVoiceprintPng(scene, ham.is_none() ? nullptr : hamPlane.data(), width,
                                            height);
    }
    if (png.empty())
        throw VocalithError(ham.is_none() ? "picture failed." : "pitch detection failed.");
    return py::bytes(png);
}

// Reads the sound, converted when it must be; a refusal raises with its reasons.
void readOrRaise(CWavPara& wave, const std::string& path) {
    SoundRead r;
    {
        py::gil_scoped_release nogil;
        r = readSound(wave, path);
    }
    if (r.read != CWavPara::resultOK) {
        std::string message;
        for (const std::string& line : refusalLines(r))
            message += (message.empty() ? "" : "\n") + line;
        throw VocalithError(message);
    }
}

// What a sound file holds: (rate, channels, frames); refused files raise with the reasons.
py::tuple soundFacts(const std::string& path) {
    CWavPara wave;
    readOrRaise(wave, path);
    return py::make_tuple(long(wave.m_sampleFreq), int(wave.m_channelCount),
                          long(wave.m_totalSamples));
}

// Full-scale samples as 16-bit ones, rounded as converted files are.
py::array_t<int16_t>
pcm16(const py::array_t<double, py::array::c_style | py::array::forcecast>& v) {
    py::array_t<int16_t> out(std::vector<py::ssize_t>(v.shape(), v.shape() + v.ndim()));
    const double* from = v.data();
    int16_t* to = out.mutable_data();
    for (py::ssize_t i = 0; i < v.size(); ++i)
        to[i] = pcm16FromFullScale(from[i]);
    return out;
}

// Every sample of the file: (rate, int16 array of frames, or frames x 2 for stereo). Other
// formats come converted to 16 bits, as the program opens them.
py::tuple readWav(const std::string& path) {
    CWavPara wave;
    readOrRaise(wave, path);
    // The reader has checked the data against the file's size; a file or a converted image,
    // the samples are read back from where it found them.
    const size_t channels = size_t(wave.m_channelCount);
    const size_t frames = size_t(wave.m_totalSamples);
    py::array_t<int16_t> samples =
        channels == 1 ? py::array_t<int16_t>(py::ssize_t(frames))
                      : py::array_t<int16_t>({py::ssize_t(frames), py::ssize_t(2)});
    int16_t* data = samples.mutable_data();
    bool ok;
    {
        py::gil_scoped_release nogil;
        ok = fseeko(wave.m_file, off_t(wave.m_dataStart), SEEK_SET) == 0 &&
             std::fread(data, 2, frames * channels, wave.m_file) == frames * channels;
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        for (size_t i = 0; ok && i < frames * channels; ++i)
            data[i] = int16_t(__builtin_bswap16(uint16_t(data[i])));
#endif
    }
    if (!ok)
        throw VocalithError("wave file reading failed.");
    return py::make_tuple(long(wave.m_sampleFreq), samples);
}

[[noreturn]] void refuse(const MemoExchange& x, const char* fallback) {
    std::string message;
    for (const std::string& line : x.lines)
        message += (message.empty() ? "" : "\n") + line;
    throw VocalithError(message.empty() ? fallback : message);
}

// (text, groups, memos) of a memo list in an export format; the sound's rate when wav is not
// empty.
py::tuple exportMemoList(const std::string& path, const std::string& format, const std::string& wav,
                         int width) {
    const MemoExportFormatInfo* f = memoExportFormatNamed(format);
    if (!f)
        throw VocalithError("format must be " + memoExportFormatNames(", ", " or ") + ".");
    MemoExchange x;
    {
        py::gil_scoped_release nogil;
        x = exportMemoListFile(path, f->format, wav, width);
    }
    if (!x.ok)
        refuse(x, "memo list read failed.");
    return py::make_tuple(py::bytes(x.bytes), x.groups, x.memos);
}

// (memo list bytes, groups) of a TextGrid, label track or transcript for the sound.
py::tuple importMemoList(const std::string& path, const std::string& wav, int width) {
    MemoExchange x;
    {
        py::gil_scoped_release nogil;
        x = importMemoListFile(path, wav, width);
    }
    if (!x.ok)
        refuse(x, "memo import failed.");
    return py::make_tuple(py::bytes(x.bytes), x.groups);
}

// Puts bytes at path, replacing a regular file only once the new one is complete.
void writeFile(const std::string& path, const std::string& bytes) {
    std::string temporary;
    COutputFile::resultOutput saved;
    {
        py::gil_scoped_release nogil;
        saved = writeOutputFile(path, bytes, temporary);
    }
    if (saved != COutputFile::outputOk)
        throw VocalithError(resolveOutput(path).kind == OutputTarget::outputRefused
                                ? path + " cannot take a file."
                                : "cannot write " + path + ".");
}

std::string utf8(const wxString& s) {
    const wxScopedCharBuffer b = s.utf8_str();
    return std::string(b.data(), b.length());
}

// A memo record as a dict of its eight stored fields.
py::dict memoRecord(const CArchMemo& m) {
    py::dict d;
    d["text"] = utf8(m.m_memoText);
    d["prior"] = utf8(m.m_prior);
    d["view_length"] = m.m_viewLength;
    d["view_start"] = m.m_viewStart;
    d["view_cursor"] = m.m_viewCursor;
    d["freq"] = m.m_freq;
    d["rel_x"] = m.m_relX;
    d["rel_y"] = m.m_relY;
    return d;
}

// The package has checked every value (vocalith/__init__.py); only a plain dict gets here.
py::dict plainDict(const py::handle& given, const char* what) {
    if (!py::isinstance<py::dict>(given))
        throw py::type_error(std::string(what) + " must be a dict.");
    return py::reinterpret_borrow<py::dict>(given);
}

std::unique_ptr<CArchMemo> memoFromDict(const py::handle& given, int titleNo, int termNo) {
    const py::dict d = plainDict(given, "a memo record");
    auto m = std::make_unique<CArchMemo>();
    m->m_memoText = wxString::FromUTF8(d["text"].cast<std::string>().c_str());
    if (d.contains("prior"))
        m->m_prior = wxString::FromUTF8(d["prior"].cast<std::string>().c_str());
    const auto number = [&](const char* key) { return d.contains(key) ? d[key].cast<int>() : 0; };
    m->m_viewLength = number("view_length");
    m->m_viewStart = number("view_start");
    m->m_viewCursor = number("view_cursor");
    m->m_freq = number("freq");
    m->m_relX = clampRelative(d.contains("rel_x") ? d["rel_x"].cast<float>() : 0.0f);
    m->m_relY = clampRelative(d.contains("rel_y") ? d["rel_y"].cast<float>() : 0.0f);
    m->m_titleNo = titleNo;
    m->m_termNo = termNo;
    return m;
}

const char* const kPriorities[] = {"High", "Mid", "Low"};

py::list readMemos(const std::string& path) {
    if (const InputProblem p = checkInputFile(path); p != InputProblem::none)
        throw VocalithError(std::string("memo list read failed.\n") + inputProblemLine(p));
    MemoListRead list;
    {
        py::gil_scoped_release nogil;
        list = readMemoListFile(path);
    }
    if (list.result == MemoListRead::readOpenFailed || list.result == MemoListRead::readDamaged)
        throw VocalithError("memo list read failed.");
    if (list.result == MemoListRead::readBadHeader)
        throw VocalithError("memo list uncorrect ( internal error ).");
    py::list groups;
    for (const MemoSlot& slot : list.slots) {
        py::dict g;
        g["title"] = slot.terms.empty() ? std::string() : utf8(slot.terms.front()->m_memoText);
        g["priority"] = kPriorities[slot.sub->GetMemoPrior()];
        g["param"] = memoRecord(*slot.param);
        g["mark"] = memoRecord(*slot.sub);
        py::list memos;
        for (const auto& term : slot.terms)
            memos.append(memoRecord(*term));
        g["memos"] = memos;
        groups.append(g);
    }
    return groups;
}

// The groups as read_memos gives them; "priority", when present, sets the group's priority.
void writeMemos(const std::string& path, const py::list& groups) {
    std::vector<MemoSlot> slots;
    for (const py::handle& given : groups) {
        const py::dict g = plainDict(given, "a group");
        const int titleNo = int(slots.size());
        MemoSlot slot;
        slot.param = memoFromDict(g["param"], titleNo, 0);
        slot.sub =
            memoFromDict(g.contains("mark") ? py::object(g["mark"]) : py::dict(), titleNo, 0);
        slot.sub->m_memoText = "+";
        if (g.contains("priority")) {
            const std::string p = g["priority"].cast<std::string>();
            const int k = p == "High" ? 0 : p == "Mid" ? 1 : p == "Low" ? 2 : -1;
            if (k < 0)
                throw VocalithError("priority must be High, Mid or Low.");
            slot.sub->SetMemoPrior(CArchMemo::MemoPrior(k));
        }
        if (!g.contains("param") || !g.contains("memos") || !py::isinstance<py::list>(g["memos"]))
            throw py::type_error("a group needs param and a list of memos.");
        const py::list memos = g["memos"];
        if (memos.size() == 0)
            throw VocalithError("a group needs its title memo.");
        for (const py::handle& m : memos)
            slot.terms.push_back(memoFromDict(m, titleNo, int(slot.terms.size())));
        slots.push_back(std::move(slot));
    }
    std::string bytes, temporary;
    COutputFile::resultOutput saved;
    {
        py::gil_scoped_release nogil;
        formatMemoList(memoSlotRefs(slots), bytes);
        // No list is kept beside a folder here: the caller gets the error and keeps the groups.
        saved = writeOutputFile(path, bytes, temporary);
    }
    if (saved != COutputFile::outputOk)
        throw VocalithError(resolveOutput(path).kind == OutputTarget::outputRefused
                                ? "memo list save failed.\n" + path + " cannot take a file."
                                : "memo list save failed.");
}

} // namespace

PYBIND11_MODULE(_vocalith, m) {
    m.doc() = "The Vocalith engine; use the vocalith package.";
    static py::exception<VocalithError> error(m, "Error", PyExc_ValueError);
    // Messages may quote a path that is not UTF-8; it shows with replacement characters.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const VocalithError& e) {
            const std::string what = e.what();
            py::object text = py::reinterpret_steal<py::object>(
                PyUnicode_DecodeUTF8(what.data(), py::ssize_t(what.size()), "replace"));
            PyErr_SetObject(error.ptr(), text.ptr());
        }
    });
    m.attr("MEMO_LINE_MAX") = kMemoLineMax;
    m.def("pitch", &pitch, py::arg("sound"), py::arg("options"), py::arg("csv") = false);
    m.def("voiceprint", &voiceprint, py::arg("sound"), py::arg("options"));
    m.def("voiceprint_npy", &voiceprintNpy, py::arg("sound"), py::arg("options"), py::arg("dir"));
    m.def("voiceprint_png", &voiceprintPng, py::arg("restored"), py::arg("ham"), py::arg("run"),
          py::arg("title"), py::arg("width"), py::arg("height"), py::arg("plain"));
    m.def("sound_facts", &soundFacts, py::arg("path"));
    m.def("pcm16", &pcm16, py::arg("samples"));
    m.def("read_wav", &readWav, py::arg("path"));
    m.def("export_memos", &exportMemoList, py::arg("path"), py::arg("format"), py::arg("wav"),
          py::arg("width"));
    m.def("import_memos", &importMemoList, py::arg("path"), py::arg("wav"), py::arg("width"));
    m.def("write_file", &writeFile, py::arg("path"), py::arg("bytes"));
    py::list formats;
    for (const MemoExportFormatInfo& f : memoExportFormats())
        formats.append(py::make_tuple(f.name, f.label, f.extension));
    m.attr("EXPORT_FORMATS") = formats;
    m.def("read_memos", &readMemos, py::arg("path"));
    m.def("write_memos", &writeMemos, py::arg("path"), py::arg("groups"));
}
