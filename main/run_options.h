#pragma once
// Reading the run command's option values.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The channel list: pieces between commas, empty ones dropped, trimmed of
// Unicode space separators and tabs (not line breaks), each an optional sign
// and decimal digits within the 64-bit range. Other pieces are dropped.
std::vector<std::int64_t> parseChannelList(std::string_view text);

// One piece of the channel list, already trimmed.
std::optional<std::int64_t> parseChannel(std::string_view piece);

// The requested rate: C-locale strtod that consumes the whole text, which is
// not empty and does not begin with whitespace. Otherwise nothing.
std::optional<double> parseRate(const std::string& text);

// The length of a check, as --seconds gives it: a number read as parseRate
// reads one, above 0 and at most `longestCheckSeconds`. Otherwise nothing.
inline constexpr double longestCheckSeconds = 60;
std::optional<double> parseCheckSeconds(const std::string& text);
