#pragma once

// WAV bytes built in code for the engine and CLI tests.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace testwav {

inline void put16(std::string& s, uint16_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char(v >> 8));
}

inline void put32(std::string& s, uint32_t v) {
    put16(s, uint16_t(v & 0xFFFF));
    put16(s, uint16_t(v >> 16));
}

struct Format {
    uint16_t tag = 1, channels = 1;
    uint32_t freq = 44100;
    uint16_t bits = 16;
};

// The canonical 44-byte header claiming dataBytes of samples.
inline std::string header(const Format& f, uint32_t dataBytes) {
    std::string s = "RIFF";
    put32(s, 36 + dataBytes);
    s += "WAVEfmt ";
    put32(s, 16);
    put16(s, f.tag);
    put16(s, f.channels);
    put32(s, f.freq);
    put32(s, f.freq * f.channels * (f.bits / 8));
    put16(s, uint16_t(f.channels * (f.bits / 8)));
    put16(s, f.bits);
    s += "data";
    put32(s, dataBytes);
    return s;
}

// Header plus interleaved 16-bit samples.
inline std::string wav(const std::vector<int16_t>& samples, uint16_t channels = 1,
                       uint32_t freq = 44100) {
    std::string s = header({1, channels, freq, 16}, uint32_t(samples.size() * 2));
    for (int16_t v : samples)
        put16(s, uint16_t(v));
    return s;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// A file in /tmp holding the given bytes, removed again when the object goes.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& bytes, const std::string& name = "t.wav") {
        static int counter = 0;
        path = "/tmp/vocalith-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
               "-" + name;
        writeFile(path, bytes);
    }
    ~TempFile() { unlink(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* c_str() const { return path.c_str(); }
};

// Samples equal to their index (mod 2^15), so a wrong position shows as a wrong value.
inline std::vector<int16_t> ramp(int32_t n) {
    std::vector<int16_t> v(size_t(n > 0 ? n : 0));
    for (int32_t i = 0; i < n; ++i)
        v[size_t(i)] = int16_t(i & 0x7FFF);
    return v;
}

} // namespace testwav

// A file's bytes, "" when it cannot be read.
inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}
