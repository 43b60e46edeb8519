#pragma once
// One command line from the parent: a JSON object with "midi", "dest", "quit".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ControlCommand {
  std::optional<std::vector<std::uint8_t>> midi;  // present when "midi" was an array of integers
  std::string dest;                              // "" unless "dest" was a string
  bool quit = false;
};

// Nesting deeper than this makes a line invalid.
inline constexpr int maxControlDepth = 512;

// The command a line holds, or nothing for a line to ignore: not strict JSON
// (invalid UTF-8 included), not an object at the top, or nested too deeply.
std::optional<ControlCommand> parseControlLine(std::string_view line);
