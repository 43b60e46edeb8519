#pragma once
// Process-wide values of the run and check commands, each written once on the main
// thread before the threads that read them start.
#include <cstdint>
#include <vector>

class Capture;

extern std::int64_t devChannels;
extern std::vector<std::int64_t> wanted;
extern double startRate;
extern Capture* cap;
