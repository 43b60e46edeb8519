#pragma once
// "encode: 42%" on standard error while long work runs, when standard error
// is a terminal and the amount of work is known; nothing otherwise.
#include <chrono>
#include <cstdint>
#include <string>

namespace tva1 {

class Progress {
 public:
  // `total` in any unit; 0 means unknown, and nothing is shown.
  Progress(std::string what, std::uint64_t total);
  ~Progress();  // clears the line
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Shown from a second into the work, redrawn at most four times a second.
  void update(std::uint64_t done);

 private:
  std::string what_;
  std::uint64_t total_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_, last_;
};

// The size of the input when it is a regular file, else 0.
std::uint64_t inputSize(int fd);

}  // namespace tva1
