#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/sound/CWavPara.h"

// Sounds the WAV reader refuses: WAV files of other sample formats (8, 24 and 32-bit integer,
// 32 and 64-bit float, A-law, ...) and other containers (FLAC, Ogg Vorbis and Opus, AIFF, CAF,
// MP3, as far as the installed libsndfile reads them), decoded into 16-bit PCM. Plain 16-bit
// PCM WAV files never come here: CWavPara reads them itself.

// A full-scale sample (1.0 is full scale) as a 16-bit sample: times 32768, rounded to the
// nearest integer with halves away from zero, clipped to -32768 .. 32767. NaN gives 0. Integer
// sources decode to exact multiples of 1/32768 or finer, so a 16-bit sound stored in a wider
// format comes back exactly.
int16_t pcm16FromFullScale(double v);

enum class ConvertResult {
    ok,
    unreadable,   // libsndfile cannot read it (or it broke while being decoded)
    noRate,       // it gives no sampling rate of 1 Hz or more
    channelCount, // not 1 or 2 channels
    tooLong,      // more than a 16-bit WAV file can hold (4 GiB of samples, 2^31 - 1 frames)
    noMemory      // the sound does not fit in memory
};

// True for the reader's results that libsndfile may do better with: another sample format or
// something that is not a WAV file the reader understands.
bool worthConverting(CWavPara::resultWavPara read);

// The whole sound as a 16-bit WAV image in memory: the 44-byte header and the samples.
ConvertResult convertToWavImage(const std::string& source, std::vector<unsigned char>& image);

// Why a path cannot be read as a sound before any reader looks inside it, or why what was read
// is no sound (noRate, unrecognised).
enum class InputProblem {
    none,
    missing,
    unreadable,
    folder,
    notRegular,
    empty,
    linkLoop,
    noRate,
    unrecognised
};

// Looks at what `path` names without opening it: a named pipe or a device would block or never
// end, so only a regular file that can be read and holds bytes passes.
InputProblem checkInputFile(const std::string& path);
// The log line of a problem ("no such file.", ...); empty for none.
const char* inputProblemLine(InputProblem problem);

// How reading a sound went: the reader's result, and whether (and how) it was converted.
struct SoundRead {
    CWavPara::resultWavPara read = CWavPara::resultReadError;
    InputProblem problem = InputProblem::none;
    bool triedConversion = false;
    bool converted = false;
    ConvertResult conversion = ConvertResult::unreadable; // when a conversion was tried
};

// Reads `path` into `wave` (m_analysedChannel set by the caller): with the WAV reader, or when
// it refuses the file as worthConverting says, converted in memory. A conversion that fails
// leaves the reader's own refusal, except for a channel count the reader could not see. A path
// checkInputFile refuses is never opened; a sound without a positive sampling rate is refused.
SoundRead readSound(CWavPara& wave, const std::string& path);

// Samples held in memory: `frames` frames of `channels` interleaved 16-bit samples at `rate` Hz,
// read as a 16-bit WAV file holding them would be (the bytes are copied; `name` is what the
// sound is called). Refused like a file: a rate below 1 (noRate), other than 1 or 2 channels,
// more than a WAV file holds (tooLong), or no memory for the copy.
SoundRead readSamples(CWavPara& wave, const int16_t* samples, size_t frames, int channels,
                      long rate, const std::string& name);

// The log lines of a refused read, first "wave file reading failed.", then the reason when one is
// known; none when it was read.
std::vector<std::string> refusalLines(const SoundRead& r);
