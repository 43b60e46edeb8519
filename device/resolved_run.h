#pragma once
// The device of a run as the run command resolved it: looked up once, each
// value read from the platform once, the channels checked. The capture, the
// support log and the watchdog take what they need from here.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

struct ResolvedRun {
  AudioObjectID device = 0;
  std::string name;                  // the device's own name, empty when unreadable
  std::string uid;
  std::int64_t deviceChannels = 0;   // every input channel, all rendered
  std::vector<std::int64_t> wanted;  // the channels to stream, counted from 1, in order
  double rate = 0;                   // the nominal rate after negotiation; 0 when unreadable
};
