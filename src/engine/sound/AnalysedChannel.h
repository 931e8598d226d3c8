#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Which channel of a stereo sound is analysed and shown. `left` (the first channel) is what
// opening a stereo file has always analysed; `mix` is the mean of both channels, rounded to the
// nearest integer with halves away from zero. Mono sounds ignore the choice. Front ends (the
// window's menu, vocalith-cli --channel, the Python module) set CWavPara::m_analysedChannel
// before reading.
enum class AnalysedChannel { left, right, mix };

// "left", "right" or "mix"; nothing for any other text.
inline std::optional<AnalysedChannel> parseAnalysedChannel(std::string_view name) {
    if (name == "left")
        return AnalysedChannel::left;
    if (name == "right")
        return AnalysedChannel::right;
    if (name == "mix")
        return AnalysedChannel::mix;
    return std::nullopt;
}

inline const char* analysedChannelName(AnalysedChannel channel) {
    switch (channel) {
    case AnalysedChannel::right:
        return "right";
    case AnalysedChannel::mix:
        return "mix";
    default:
        return "left";
    }
}

// The line a front end shows once when a stereo sound is opened.
inline std::string analysedChannelLine(AnalysedChannel channel) {
    return channel == AnalysedChannel::mix
               ? "stereo sound: mix of both channels analysed."
               : std::string("stereo sound: ") + analysedChannelName(channel) +
                     " channel analysed.";
}

// The analysed sample of one stereo frame.
inline int16_t analysedSample(AnalysedChannel channel, int16_t left, int16_t right) {
    if (channel == AnalysedChannel::left)
        return left;
    if (channel == AnalysedChannel::right)
        return right;
    const int sum = int(left) + int(right);
    // Division truncates toward zero, so adding (or taking) one first rounds halves outward.
    return int16_t(sum >= 0 ? (sum + 1) / 2 : (sum - 1) / 2);
}
