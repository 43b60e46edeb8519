#pragma once
// A property a fuzz target checks: when it fails, the fuzzer keeps the input.
#include <cstdlib>

inline void check(bool holds) {
  if (!holds) std::abort();
}
