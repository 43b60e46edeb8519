#pragma once
// Cuts a byte stream into lines, keeping at most a bounded part of any one.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class LineSplitter {
 public:
  // Lines longer than `maxLine` bytes (line feed not counted) are dropped whole.
  explicit LineSplitter(std::size_t maxLine) : maxLine_(maxLine) {}

  // Calls `line` with each line `chunk` completes, in order, without its line feed.
  void feed(std::string_view chunk, const std::function<void(std::string_view)>& line);

  // At the end of the stream: the last line if it had no line feed.
  std::optional<std::string> finish();

 private:
  std::size_t maxLine_;
  std::string pending_;
  bool dropping_ = false;  // inside a line that grew too long, until its line feed
};
