#include "main/run_state.h"

std::int64_t devChannels = 0;
std::vector<std::int64_t> wanted;
double startRate = 0;
Capture* cap = nullptr;
