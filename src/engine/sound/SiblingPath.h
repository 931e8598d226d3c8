#pragma once

#include <optional>
#include <string>

// The name of a file kept beside a recording: the recording's path up to its last ".wav", then
// `suffix` ("talk.wav" with ".vlh" gives "talk.vlh"; an empty suffix gives the base name).
// Nothing when the path holds no ".wav".
std::optional<std::string> siblingPath(const std::string& wavPath, const std::string& suffix);
