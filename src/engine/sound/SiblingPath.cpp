#include "engine/sound/SiblingPath.h"

std::optional<std::string> siblingPath(const std::string& wavPath, const std::string& suffix) {
    const size_t at = wavPath.rfind(".wav");
    if (at == std::string::npos)
        return std::nullopt;
    return wavPath.substr(0, at) + suffix;
}
