// Stand-in.
#include "capture/capture.h"

Capture::Capture(std::int64_t channels, std::vector<std::int64_t> picked) : nch(channels), picks(std::move(picked)) {}
void Capture::start(AudioObjectID) {}
OSStatus Capture::render(AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32) { return 0; }
