#include "FuzzSupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>

#include "FuzzChecks.h"
#include "engine/memo/MemoInterop.h"

namespace fuzz {

std::string memoryFilePath(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("vocalith-fuzz", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return std::string();
    for (size_t done = 0; done < size;) {
        const ssize_t n = pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0)
            return std::string();
        done += size_t(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

FILE* memoryStream(const uint8_t* data, size_t size) {
    // Read-only mode never writes through the pointer; glibc accepts size 0.
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

std::string broken(const char* format, ...) {
    char buf[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

bool isValidUtf8(const std::string& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const unsigned c = b[i];
        size_t extra = 0;
        unsigned cp = 0, min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (n - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((b[i + k] & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (b[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

const std::vector<FuzzTarget>& fuzzTargets() {
    static const std::vector<FuzzTarget> targets = {
        {"wav_reader", wav_reader::check},       {"memo_list", memo_list::check},
        {"transcript", transcript::check},       {"parameter_block", parameter_block::check},
        {"text_encoding", text_encoding::check}, {"png_size", png_size::check},
        {"textgrid", checkTextGridImport},       {"audacity_labels", checkAudacityImport},
    };
    return targets;
}

void failOnBroken(const std::string& broken) {
    if (broken.empty())
        return;
    std::fprintf(stderr, "broken invariant: %s\n", broken.c_str());
    std::abort();
}

} // namespace fuzz
