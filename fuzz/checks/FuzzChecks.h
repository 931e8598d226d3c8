#pragma once

// The invariants each fuzz target holds the readers of outside data to. A check runs one input
// through a reader (and, where there is one, its writer) and compares what came out with what
// the bytes say; it returns an empty string when every invariant holds, else what broke. Memory
// errors are left to the sanitizers of the build it runs in.
//
// The libFuzzer programs (fuzz/<name>.cpp) are thin wrappers; engine_tests replays the seed
// corpus and every minimised crash in fuzz/regressions/<name>/ through the same functions.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

using CheckFunction = std::string (*)(const uint8_t* data, size_t size);

struct FuzzTarget {
    const char* name; // the program, its dictionary, seed and regression folders
    CheckFunction check;
};

// CWavPara: header, sample count, overview, extremes and three windows read through a small cache.
namespace wav_reader {
std::string check(const uint8_t* data, size_t size);
}
// readMemoList, and for a list it read completely: write, read, write gives the same bytes and
// the same records.
namespace memo_list {
std::string check(const uint8_t* data, size_t size);
}
// TranscriptLineReader, normaliseTranscriptLine, parseTranscriptRange and the parameter block
// written for every range accepted.
namespace transcript {
std::string check(const uint8_t* data, size_t size);
}
// parseParameterBlock, and for an accepted block: format, parse, format is a fixed point.
namespace parameter_block {
std::string check(const uint8_t* data, size_t size);
}
// GetCharset and both conversions against a reference conversion with a growing buffer;
// encodeMemoText read back as the memo reader does.
namespace text_encoding {
std::string check(const uint8_t* data, size_t size);
}
// pngSize against the header bytes.
namespace png_size {
std::string check(const uint8_t* data, size_t size);
}

const std::vector<FuzzTarget>& fuzzTargets();

// For the libFuzzer wrappers: a broken invariant is a crash, with its reason on stderr.
void failOnBroken(const std::string& broken);

} // namespace fuzz
