#pragma once
// Points alsa-lib at a private copy of tests/alsa/capture-devices.conf before
// the first ALSA call of the test process, so tests can change the machine by
// rewriting that copy.
#include <string>
#include <vector>

namespace alsa_test {

// The path ALSA_CONFIG_PATH names in this process.
const std::string& configPath();

// The test configuration without the PCM definitions named in `removed`.
std::string configWithout(const std::vector<std::string>& removed);

// Replaces the configuration the way an editor would (new file, renamed over),
// so the next scan sees it changed.
void writeConfig(const std::string& text);

}  // namespace alsa_test
