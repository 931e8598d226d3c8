#include "engine/render/PictureFiles.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void putBig32(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s.push_back(char((v >> shift) & 0xFF));
}

// One PNG chunk: length, type, data, CRC over type and data.
void putChunk(std::string& png, const char* type, const std::string& data) {
    putBig32(png, uint32_t(data.size()));
    std::string body(type, 4);
    body += data;
    png += body;
    putBig32(png,
             uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

} // namespace

std::string npyHeader(long rows, long cols) {
    const std::string shape = rows < 0
                                  ? "(" + std::to_string(cols) + ",)"
                                  : "(" + std::to_string(rows) + ", " + std::to_string(cols) + ")";
    std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': " + shape + ", }";
    // Magic, version and length take 10 bytes; the header ends in a newline and the data
    // starts on a 64-byte boundary.
    const size_t total = (10 + header.size() + 1 + 63) / 64 * 64;
    header.append(total - 10 - header.size() - 1, ' ');
    header.push_back('\n');
    std::string head("\x93NUMPY\x01\x00", 8);
    head.push_back(char(header.size() & 0xFF));
    head.push_back(char(header.size() >> 8));
    return head + header;
}

void appendNpyData(std::string& npy, const double* data, size_t count) {
    const size_t at = npy.size();
    npy.resize(at + 8 * count);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (size_t i = 0; i < count; ++i) {
        uint64_t v;
        std::memcpy(&v, &data[i], 8);
        v = __builtin_bswap64(v);
        std::memcpy(&npy[at + 8 * i], &v, 8);
    }
#else
    if (count > 0)
        std::memcpy(&npy[at], data, 8 * count);
#endif
}

std::string npyBytes(const double* data, long rows, long cols) {
    if (!data || cols < 0)
        return std::string();
    std::string npy = npyHeader(rows, cols);
    appendNpyData(npy, data, size_t(rows < 0 ? 1 : rows) * size_t(cols));
    return npy;
}

namespace {

// Colour type 0 (grey) or 2 (RGB), 8 bits per sample; every row starts with filter type 0.
std::string pngBytes(const std::vector<unsigned char>& pixels, int width, int height,
                     int channels) {
    const size_t rowBytes = size_t(width) * size_t(channels);
    if (width < 1 || height < 1 || pixels.size() != rowBytes * size_t(height))
        return std::string();
    std::string raw;
    raw.reserve(size_t(height) * (rowBytes + 1));
    for (int y = 0; y < height; ++y) {
        raw.push_back('\0');
        raw.append(reinterpret_cast<const char*>(&pixels[size_t(y) * rowBytes]), rowBytes);
    }
    uLongf packedLen = compressBound(uLong(raw.size()));
    std::string packed(packedLen, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedLen,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 6) != Z_OK)
        return std::string();
    packed.resize(packedLen);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    putBig32(ihdr, uint32_t(width));
    putBig32(ihdr, uint32_t(height));
    ihdr.push_back('\x08');                          // bit depth
    ihdr.push_back(channels == 3 ? '\x02' : '\x00'); // colour type
    ihdr += std::string("\x00\x00\x00", 3);          // deflate, no filter, no interlace
    putChunk(png, "IHDR", ihdr);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", std::string());
    return png;
}

} // namespace

std::string greyPngBytes(const std::vector<unsigned char>& grey, int width, int height) {
    return pngBytes(grey, width, height, 1);
}

std::string rgbPngBytes(const std::vector<unsigned char>& rgb, int width, int height) {
    return pngBytes(rgb, width, height, 3);
}

GreyPicture voiceprintPicture(const double* plane, long frames, long bins, long sampleFreq,
                              long freqLow, long freqHigh, double dbLow, double dbHigh) {
    GreyPicture pic;
    if (!plane || frames < 1 || bins < 1 || sampleFreq <= 0 || frames > 0x7FFFFFFF)
        return pic;
    const double hzPerBin = sampleFreq * 0.5 / double(bins);
    const long first = long(std::max(0L, freqLow) / hzPerBin);
    const long last = std::min(bins - 1, long(std::max(0L, freqHigh) / hzPerBin));
    if (last < first)
        return pic;
    pic.width = int(frames);
    pic.height = int(last - first + 1);
    pic.pixels.resize(size_t(pic.width) * size_t(pic.height));
    for (int y = 0; y < pic.height; ++y) {
        const long bin = last - y;
        for (long t = 0; t < frames; ++t) {
            pic.pixels[size_t(y) * size_t(pic.width) + size_t(t)] =
                greyOfLevel(plane[t * bins + bin], dbLow, dbHigh);
        }
    }
    return pic;
}
