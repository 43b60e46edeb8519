#include "text/whole_hz.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string wholeHz(double rate) {
  if (std::isnan(rate)) return "nan";
  if (std::isinf(rate)) return rate > 0 ? "inf" : "-inf";
  double whole = std::trunc(rate);
  if (whole == 0) return "0";  // no "-0" for rates between -1 and 0
  char text[400];
  std::snprintf(text, sizeof text, "%.0f", whole);
  return text;
}

std::string askedHz(double rate) {
  if (!std::isfinite(rate) || rate == std::trunc(rate)) return wholeHz(rate);
  char text[400];
  auto [end, error] = std::to_chars(text, text + sizeof text, rate, std::chars_format::fixed);
  if (error != std::errc{}) return wholeHz(rate);
  return std::string(text, end);
}
