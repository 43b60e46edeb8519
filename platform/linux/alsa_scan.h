#pragma once
// Finds the PCMs that may capture, without opening any of them: cheap enough
// to run on every device-list read.
#include <string>
#include <vector>

struct AlsaPcmEntry {
  std::string uid;
  std::string pcm;
  std::string name;
  bool hardware = false;
  int card = -1, device = -1;  // a card's own PCM device
};

// Every card's PCM devices with a capture side, then every PCM the
// configuration advertises for input (or for both directions, short of an
// output alias such as a direction-less `default`), in that order, each uid
// once.
std::vector<AlsaPcmEntry> scanAlsaPcms();
