// Stand-in.
#include "capture/capture.h"

void Capture::process(const float*, std::size_t) {}
