#include "text/whole_hz.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

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
  // The fewest decimals that read back as the rate (what std::to_chars
  // gives, but the macOS 12 C++ library has no floating-point to_chars).
  char text[400];
  for (int decimals = 1; decimals <= 330; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, rate);
    if (std::strtod(text, nullptr) == rate) return text;
  }
  return wholeHz(rate);
}
