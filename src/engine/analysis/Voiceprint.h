#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

class CWorkMemory;

// The voiceprint of the analysed stretch: for every frame t of the work memory (S = m_ssftSize
// samples from m_wave[t * m_interval]) three power spectra of H = S / 2 bins, written to row t
// of the planes:
//   m_hamPowMap     Hamming window
//   m_restorePowMap wideband phase restoration (rows are phases in fine sense mode)
//   m_rectPowMap    no window
// with bin 0 of each set to 0. Then convertVoiceprintToDb turns them into the dB planes.

enum resultVoiceprint {
    voiceprintFinished = 0,  // every frame computed
    voiceprintCancelled = 1, // stopped by the cancel predicate; later rows keep what they held
    voiceprintNotSized = 2,  // the work memory has no buffers, or a frame would not fit in m_wave
    voiceprintFailed = 3     // a transform could not get its memory; the planes are incomplete
};

// Which planes a run fills: pitch detection reads only the Hamming and the restored ones, and
// skipping the unwindowed transform saves a quarter of the work. Without it m_rectPowMap and
// m_rectDbMap keep what they held; the other planes are the same to the bit.
enum voiceprintPlanes { planesAll = 0, planesWithoutRect = 1 };

// Called with the progress in percent, (i * 100) / T, once for every frame i that is started, in
// frame order.
using VoiceprintProgress = std::function<void(int percent)>;
// Returns true to stop: no frame starts after it has returned true.
using VoiceprintCancelled = std::function<bool()>;

// Computes every frame of the voiceprint into the three power planes. noise is the restoration's
// noise gate (the wave parameters' m_noiseParameter).
//
// Frames run on `threads` threads (0 counts as 1); the planes are bit-identical whatever the
// count. With one thread everything runs on the calling thread, in frame order: before frame i,
// cancelled() is asked, then progress(i * 100 / T) is called. With more, worker threads take
// frames in order while the calling thread only watches: it reports every started frame in frame
// order and asks cancelled() before the first frame, whenever a frame starts and at least every
// few milliseconds, so a cancel lets only the frames already running finish. progress and
// cancelled are only ever called on the calling thread; either may be empty.
//
// With one thread the work memory's frame buffers (m_re, m_im, m_restore, m_restoreSum) are the
// scratch; with more, each worker has its own. m_pow and m_phs are not used: each frame's powers
// go straight into its plane row and no phase is read. The work memory must not be resized while
// this runs.
resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise,
                                   const VoiceprintCancelled& cancelled = {},
                                   const VoiceprintProgress& progress = {},
                                   unsigned threads = std::thread::hardware_concurrency(),
                                   voiceprintPlanes planes = planesAll);

// What a voiceprint computation leaves for the next one on the same work memory: the samples it
// analysed and the sizes it ran with. When the next stretch overlaps it by whole hops (the view
// stepped by a multiple of m_interval, or did not move), the frames whose samples are unchanged
// keep their power rows, shifted into place, and only the others are computed.
// It trusts that nothing wrote the power planes since: computeVoiceprint, convertVoiceprintToDb
// and computeLevelSpectrum leave them alone; anyone else who writes them must call forget().
// Resizing the work memory is noticed without help.
class CVoiceprintReuse {
public:
    void forget();
    // Frames the last computation took over instead of computing them.
    long reusedFrames() const { return m_reused; }
    // Frames whose dB rows the last conversion through this record computed (the rest moved).
    long convertedFrames() const { return m_converted; }
    // Frames computeVoiceprint would compute now on `work` with `noise` (m_repeatTimes when
    // nothing can be reused).
    long framesToCompute(const CWorkMemory& work, double noise) const;

private:
    friend struct VoiceprintReuseAccess;
    bool m_valid = false;
    const CWorkMemory* m_work = nullptr;
    uint64_t m_generation = 0;
    long m_ssft = 0, m_interval = 0, m_frames = 0, m_let = 0, m_high = 0, m_low = 0;
    int m_mode = 0;
    double m_noise = 0.0;
    std::vector<double> m_wave;
    long m_reused = 0;
    long m_converted = 0;
    struct DbState {
        bool valid = false;   // the dB planes hold the conversion of the rows pendingHops ago
        long pendingHops = 0; // how far the power rows moved since
        double scale[7] = {}; // the whole-plane peaks and floors that conversion used
    };
    DbState m_db;
};

// computeVoiceprint with reuse of the frames the last computation through `reuse` left in the
// planes. The planes come out bit-identical to a full computation. Progress goes from 0 over the
// frames that are computed, (k * 100) / count for the k-th of them; when nothing needs computing
// it is never called. reuse is updated after a finished run and forgotten after any other.
resultVoiceprint computeVoiceprint(CWorkMemory& work, double noise, CVoiceprintReuse& reuse,
                                   const VoiceprintCancelled& cancelled = {},
                                   const VoiceprintProgress& progress = {},
                                   unsigned threads = std::thread::hardware_concurrency());

// convertVoiceprintToDb after computeVoiceprint with the same record: when the frames moved by
// whole hops and the whole-plane peaks and floors did not change, the kept frames' dB rows move
// with them and only the new frames are converted; otherwise everything is. Same bits either way.
// m_auxMap keeps the restored powers mapped onto the Hamming range for the next conversion.
bool convertVoiceprintToDb(CWorkMemory& work, CVoiceprintReuse& reuse,
                           unsigned threads = std::thread::hardware_concurrency());

// Turns the power planes into the dB planes, each over the whole plane (the loudest bin of the
// whole voiceprint is 0 dB): calc_dB of m_hamPowMap and m_restorePowMap into m_hamDbMap and
// m_restoreDbMap, then adjustRestoreDbBottomLineByPowerDb, then su_calc_dB of m_rectPowMap into
// m_rectDbMap, with the arithmetic of those functions, bit for bit. The power planes are only
// read (calc_dB would normalise them in place; keeping them lets a later computation reuse their
// rows). The work is split over `threads` threads, same bits on any count. Nothing happens, and
// false is returned, when the planes are absent.
bool convertVoiceprintToDb(CWorkMemory& work,
                           unsigned threads = std::thread::hardware_concurrency(),
                           voiceprintPlanes planes = planesAll);

// The level spectrum of the single frame that starts at m_wave[start], for the level panel:
// the Hamming power (bins 0 .. H-1, phases into m_phs) and the restored frame (m_restore, bin 0
// set to 0) go through calc_dB into m_hamDb and m_restoreDb, and m_pow gets ln(1 + power).
//   levelOfStretch: the restoration follows the sense mode, and the unwindowed spectrum is also
//                   computed (su_calc_dB into m_rectDb). Used when a sound has been read and when
//                   the analysed stretch moves or is resized.
//   levelDuringPlayback: the restoration always takes real parts (wide = 0) and the unwindowed
//                   spectrum is skipped (the playback cursor's spectrum, in normal mode only).
// The calc_dB scratch is the calling thread's own, not the power planes, so a voiceprint's power
// rows stay reusable while the view moves.
// It writes the work memory's frame buffers and planes, so it must not run while a voiceprint is
// being computed on the same work memory. voiceprintNotSized when a buffer is absent or the frame
// does not lie inside m_wave.
enum levelSpectrumKind { levelOfStretch = 0, levelDuringPlayback = 1 };
resultVoiceprint computeLevelSpectrum(CWorkMemory& work, long start, double noise,
                                      levelSpectrumKind kind);
