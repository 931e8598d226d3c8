#include "engine/sound/SiblingPath.h"

std::optional<std::string> siblingPath(const std::string& wavPath, const std::string& suffix) {
    const size_t at = wavPath.rfind(".wav");
    // Only the file's own name counts: a folder named "x.wav.d" says nothing about its files.
    const size_t slash = wavPath.rfind('/');
    if (at == std::string::npos || (slash != std::string::npos && at < slash))
        return std::nullopt;
    return wavPath.substr(0, at) + suffix;
}
