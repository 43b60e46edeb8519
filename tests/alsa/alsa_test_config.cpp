#include "tests/alsa/alsa_test_config.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace alsa_test {
namespace {
std::string sourceConfig() {
  std::ifstream file(std::string(TAVIREL_SOURCE_DIR) + "/tests/alsa/capture-devices.conf");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string makeConfigPath() {
  char pattern[] = "/tmp/tavirel-alsa-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
  close(fd);
  std::string path = pattern;
  std::ofstream(path) << sourceConfig();
  setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
  // A desktop's sound server would otherwise take the place of these devices.
  setenv("TAVIREL_AUDIO_BACKEND", "alsa", 1);
  std::atexit([] { std::remove(configPath().c_str()); });
  return path;
}

// Before main, hence before any ALSA call.
const bool configured = !configPath().empty();
}  // namespace

const std::string& configPath() {
  static const std::string path = makeConfigPath();
  return path;
}

std::string configWithout(const std::vector<std::string>& removed) {
  std::stringstream in(sourceConfig());
  std::string out, line;
  bool skipping = false;
  while (std::getline(in, line)) {
    for (const auto& name : removed)
      if (line.rfind("pcm." + name + " {", 0) == 0) skipping = true;
    if (!skipping) out += line + "\n";
    if (skipping && line == "}") skipping = false;
  }
  return out;
}

void writeConfig(const std::string& text) {
  std::string fresh = configPath() + ".new";
  std::ofstream(fresh) << text;
  std::rename(fresh.c_str(), configPath().c_str());
}

}  // namespace alsa_test
