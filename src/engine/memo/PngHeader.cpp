#include "engine/memo/PngHeader.h"

#include <cstdio>
#include <cstring>

namespace {

uint32_t big32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

} // namespace

bool pngSize(const std::string& path, uint32_t* width, uint32_t* height) {
    // Signature (8), IHDR length (4) and type (4), then width and height.
    static const unsigned char kStart[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                             0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    unsigned char head[24];
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    const size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (got != sizeof head || std::memcmp(head, kStart, sizeof kStart) != 0)
        return false;
    if (width)
        *width = big32(head + 16);
    if (height)
        *height = big32(head + 20);
    return true;
}
