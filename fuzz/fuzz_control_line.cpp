// Standard input as the parent might write it, broken into lines and read as
// commands. Besides crashes and leaks it checks the reader against a plain
// reading of the same line as a JSON tree, wherever that reading is exact.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "main/control_line.h"
#include "main/line_splitter.h"
#include "fuzz/check.h"

namespace {
using nlohmann::json;

int depthOf(std::string_view line) {
  int depth = 0, deepest = 0;
  bool inString = false, escaped = false;
  for (char c : line) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return deepest;
}


void compareWithTree(std::string_view line, const std::optional<ControlCommand>& command) {
  // The tree reader takes a NUL byte for the end of input, and knows no depth limit.
  if (line.find('\0') != std::string_view::npos || depthOf(line) >= maxControlDepth) return;
  auto tree = json::parse(line.begin(), line.end(), nullptr, false);
  if (tree.is_discarded() || !tree.is_object()) {
    check(!command);
    return;
  }
  check(command.has_value());
  check(command->quit == tree.contains("quit"));
  auto dest = tree.find("dest");
  check(command->dest == (dest != tree.end() && dest->is_string() ? dest->get<std::string>() : ""));
  auto midi = tree.find("midi");
  if (midi == tree.end() || !midi->is_array()) {
    check(!command->midi);
    return;
  }
  std::vector<std::uint8_t> bytes;
  for (auto& element : *midi) {
    if (element.is_number_float()) return;  // a huge integer and a fraction look alike in a tree
    if (!element.is_number_integer()) {
      check(!command->midi);
      return;
    }
    auto value = element.is_number_unsigned() ? std::min<std::uint64_t>(element.get<std::uint64_t>(), 255)
                                              : static_cast<std::uint64_t>(std::clamp<std::int64_t>(element.get<std::int64_t>(), 0, 255));
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  check(command->midi == bytes);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  LineSplitter lines(1024);
  auto handle = [](std::string_view line) {
    check(line.size() <= 1024 && line.find('\n') == std::string_view::npos);
    compareWithTree(line, parseControlLine(line));
  };
  // Arbitrary chunk boundaries, chosen by the input itself.
  std::size_t step = size == 0 ? 1 : 1 + data[0] % 64;
  for (std::size_t at = 0; at < size; at += step) lines.feed(input.substr(at, step), handle);
  if (auto last = lines.finish()) handle(*last);
  return 0;
}
