#include <cstring>

#include "FuzzChecks.h"
#include "FuzzSupport.h"
#include "engine/memo/PngHeader.h"

namespace fuzz::png_size {

// The signature and a 13-byte IHDR chunk must open the file; the sizes are its big-endian
// width and height, whatever they claim.
std::string check(const uint8_t* data, size_t size) {
    static const uint8_t kStart[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                       0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    const std::string path = memoryFilePath(data, size);
    if (path.empty())
        return "cannot make the memory file";
    const bool valid = size >= 24 && std::memcmp(data, kStart, sizeof kStart) == 0;
    uint32_t width = 0xDEADBEEF, height = 0xDEADBEEF;
    const bool read = pngSize(path, &width, &height);
    if (read != valid)
        return broken("pngSize says %d for a header that is %s", read, valid ? "good" : "bad");
    if (!valid)
        return width == 0xDEADBEEF && height == 0xDEADBEEF ? std::string()
                                                           : "sizes written for a bad header";
    auto big32 = [](const uint8_t* p) {
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    if (width != big32(data + 16) || height != big32(data + 20))
        return broken("size %ux%u, header says %ux%u", width, height, big32(data + 16),
                      big32(data + 20));
    if (!pngSize(path, nullptr, nullptr))
        return "the same header refused without size pointers";
    return std::string();
}

} // namespace fuzz::png_size
