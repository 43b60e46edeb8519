#include "platform/linux/alsa_card_streams.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
std::string trimmed(const std::string& line) {
  auto start = line.find_first_not_of(" \t");
  return start == std::string::npos ? "" : line.substr(start);
}

// "44100, 48000" or "8000 - 96000 (continuous)".
void addRates(const std::string& text, std::vector<AudioValueRange>& ranges) {
  if (auto dash = text.find(" - "); dash != std::string::npos) {
    double low = std::atof(text.c_str()), high = std::atof(text.c_str() + dash + 3);
    if (low > 0 && high >= low) ranges.push_back({low, high});
    return;
  }
  std::stringstream list(text);
  std::string item;
  while (std::getline(list, item, ','))
    if (double rate = std::atof(item.c_str()); rate > 0) ranges.push_back({rate, rate});
}
}  // namespace

std::optional<CardCapture> captureFromStreamText(const std::string& text) {
  CardCapture found;
  std::stringstream lines(text);
  std::string line;
  bool inCapture = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] != ' ' && line[0] != '\t') {
      inCapture = line.rfind("Capture:", 0) == 0;
      continue;
    }
    if (!inCapture) continue;
    auto field = trimmed(line);
    if (field.rfind("Channels:", 0) == 0)
      found.channels = std::max(found.channels, static_cast<UInt32>(std::strtoul(field.c_str() + 9, nullptr, 10)));
    else if (field.rfind("Rates:", 0) == 0)
      addRates(trimmed(field.substr(6)), found.ranges);
  }
  std::sort(found.ranges.begin(), found.ranges.end(),
            [](const AudioValueRange& a, const AudioValueRange& b) { return a.mMinimum < b.mMinimum; });
  auto same = [](const AudioValueRange& a, const AudioValueRange& b) {
    return a.mMinimum == b.mMinimum && a.mMaximum == b.mMaximum;
  };
  found.ranges.erase(std::unique(found.ranges.begin(), found.ranges.end(), same), found.ranges.end());
  if (found.channels == 0 || found.ranges.empty()) return std::nullopt;
  return found;
}

std::optional<CardCapture> cardCapture(int card, int device) {
  std::ifstream file("/proc/asound/card" + std::to_string(card) + "/stream" + std::to_string(device));
  if (!file) return std::nullopt;
  std::stringstream text;
  text << file.rdbuf();
  return captureFromStreamText(text.str());
}
