#include "tools/tva1/levels.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tva1 {

double dbfs(double amplitude) { return amplitude > 0 ? 20 * std::log10(amplitude / 32767.0) : -INFINITY; }

void Levels::add(const std::int16_t* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    int s = samples[i];
    auto magnitude = static_cast<std::uint32_t>(std::abs(s));
    if (magnitude > peak_) peak_ = magnitude;
    sumSquares_ += double(s) * double(s);
  }
  count_ += count;
}

double Levels::peakDb() const { return dbfs(peak_); }

double Levels::rmsDb() const {
  return count_ == 0 ? -INFINITY : dbfs(std::sqrt(sumSquares_ / static_cast<double>(count_)));
}

std::string formatDb(double db) {
  if (std::isinf(db)) return "-inf dBFS";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dBFS", db);
  return text;
}

}  // namespace tva1
