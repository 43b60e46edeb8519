#include "main/run_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "text/separator_space.h"

std::optional<std::int64_t> parseChannel(std::string_view piece) {
  std::string_view digits = piece;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  // from_chars takes a minus sign but not a plus sign.
  std::string_view number = piece[0] == '+' ? digits : piece;
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

std::vector<std::int64_t> parseChannelList(std::string_view text) {
  std::vector<std::int64_t> channels;
  while (true) {
    auto comma = text.find(',');
    std::string_view piece = text.substr(0, comma);
    if (!piece.empty())
      if (auto channel = parseChannel(trimSeparatorSpace(piece))) channels.push_back(*channel);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return channels;
}

std::optional<double> parseRate(const std::string& text) {
  if (text.empty()) return std::nullopt;
  switch (text[0]) {
    case ' ': case '\t': case '\n': case '\v': case '\f': case '\r': return std::nullopt;
    default: break;
  }
  // The program never sets a locale, so strtod reads the C locale's notation.
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

std::optional<double> parseCheckSeconds(const std::string& text) {
  auto seconds = parseRate(text);
  if (!seconds || !(*seconds > 0 && *seconds <= longestCheckSeconds)) return std::nullopt;
  return seconds;
}
