#pragma once

#include <optional>
#include <string>

// The name of a file kept beside a recording: the recording's path up to the last ".wav" of its
// file name (never of a folder), then `suffix` ("talk.wav" with ".vlh" gives "talk.vlh"; an
// empty suffix gives the base name).
// Nothing when the file name holds no ".wav".
std::optional<std::string> siblingPath(const std::string& wavPath, const std::string& suffix);
