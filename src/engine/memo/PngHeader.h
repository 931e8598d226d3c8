#pragma once

#include <cstdint>
#include <string>

// The picture size a PNG file declares in its IHDR chunk, read without decoding the picture,
// so that a picture too large to be a memo is refused before anything is allocated for it.
// False when the file cannot be read or does not start with the PNG signature and an IHDR
// chunk of 13 bytes. The sizes are as declared (PNG allows 1 to 2^31 - 1).
bool pngSize(const std::string& path, uint32_t* width, uint32_t* height);
