#include "midi/destination_match.h"

#include "text/unicode_match.h"

std::optional<std::size_t> matchDestination(const std::vector<std::string>& names, std::string_view request) {
  std::string want = matchKey(request);
  std::vector<std::string> keys;
  keys.reserve(names.size());
  for (auto& name : names) keys.push_back(matchKey(name));

  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i] == want) return i;
  if (want.empty()) return std::nullopt;
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i].find(want) != std::string::npos) return i;
  return std::nullopt;
}
