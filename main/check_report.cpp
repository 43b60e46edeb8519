#include "main/check_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "dsp/channel_levels.h"

namespace {
using nlohmann::json;

// Figures to the precision they mean something at; JSON has no infinity, so
// a level of nothing at all is null.
json rounded(double value, double places) {
  if (!std::isfinite(value)) return nullptr;
  double scale = std::pow(10.0, places);
  return std::round(value * scale) / scale;
}

json blocksJson(const CheckFindings& findings) {
  const auto& sizes = findings.measured.blockSizes;
  std::uint64_t count = 0;
  auto common = sizes.begin();
  for (auto it = sizes.begin(); it != sizes.end(); ++it) {
    count += it->second;
    if (it->second > common->second) common = it;
  }
  json blocks = {{"count", count},
                 {"smallest", nullptr},
                 {"largest", nullptr},
                 {"mostCommon", nullptr},
                 {"dropped", findings.health.droppedBlocks},
                 {"failedReads", findings.health.failedRenders}};
  if (!sizes.empty()) {
    blocks["smallest"] = sizes.begin()->first;
    blocks["largest"] = sizes.rbegin()->first;
    blocks["mostCommon"] = common->first;
  }
  return blocks;
}

json channelJson(std::size_t channel, const ChannelLevels& levels) {
  auto reading = readLevels(levels);
  return {{"channel", channel},
          {"state", lineStateName(reading.state)},
          {"peakDbfs", rounded(reading.peakDbfs, 2)},
          {"rmsDbfs", rounded(reading.rmsDbfs, 2)},
          {"fullScaleShare", rounded(reading.fullScaleShare, 6)},
          {"dcOffset", rounded(reading.dcOffset, 3)},
          {"nonFinite", levels.nonFinite}};
}
}  // namespace

json checkDocument(const ResolvedRun& run, double rate, const CheckFindings& findings) {
  const auto& latency = findings.measured.latency;
  const auto& clock = findings.clock;
  json channels = json::array();
  for (std::size_t i = 0; i < findings.measured.levels.size(); ++i)
    channels.push_back(channelJson(i + 1, findings.measured.levels[i]));
  return {{"device", {{"name", run.name}, {"uid", run.uid}}},
          {"rate", rate},
          {"deviceChannels", run.deviceChannels},
          {"seconds", rounded(findings.measured.seconds, 3)},
          {"blocks", blocksJson(findings)},
          {"latencyMs",
           {{"frames", latency.frames},
            {"mean", latency.frames > 0 ? rounded(latency.meanMs, 2) : json(nullptr)},
            {"max", latency.frames > 0 ? rounded(latency.maxMs, 2) : json(nullptr)}}},
          {"clock",
           {{"measuredRate", clock.measured ? rounded(clock.rate, 2) : json(nullptr)},
            {"ppm", clock.measured ? rounded(clock.ppm, 1) : json(nullptr)},
            {"seconds", rounded(clock.seconds, 3)}}},
          {"gaps", {{"count", findings.gaps}, {"seconds", rounded(findings.gapSeconds, 3)}}},
          {"thresholds",
           {{"fullScale", fullScaleLevel},
            {"floorDbfs", floorDbfs},
            {"clippingShare", clippingShare},
            {"dcOffset", dcOffsetLevel}}},
          {"channels", std::move(channels)}};
}

namespace {
std::string figure(const json& value, const char* format) {
  if (!value.is_number()) return "-";
  char text[48];
  std::snprintf(text, sizeof text, format, value.get<double>());
  return text;
}
}  // namespace

std::string checkTable(const json& document) {
  std::string table = document["device"]["name"].get<std::string>() + " (" +
                      document["device"]["uid"].get<std::string>() + "): " +
                      std::to_string(document["deviceChannels"].get<std::int64_t>()) + " channels at " +
                      figure(document["rate"], "%.0f") + " Hz, " + figure(document["seconds"], "%.1f") +
                      " s checked\n";
  const json& clock = document["clock"];
  const json& blocks = document["blocks"];
  const json& latency = document["latencyMs"];
  table += (clock["ppm"].is_number() ? "clock: " + figure(clock["measuredRate"], "%.2f") + " Hz measured, " +
                                          figure(clock["ppm"], "%+.1f") + " ppm"
                                    : std::string("clock: not measured (too short)")) +
           "; gaps: " + std::to_string(document["gaps"]["count"].get<std::uint64_t>()) + " (" +
           figure(document["gaps"]["seconds"], "%.3f") + " s)\n";
  table += "blocks: mostly " + figure(blocks["mostCommon"], "%.0f") + " frames (" + figure(blocks["smallest"], "%.0f") +
           " to " + figure(blocks["largest"], "%.0f") + "), " + std::to_string(blocks["dropped"].get<std::uint64_t>()) +
           " dropped, " + std::to_string(blocks["failedReads"].get<std::uint64_t>()) + " failed reads; latency " +
           figure(latency["mean"], "%.1f") + " ms mean, " + figure(latency["max"], "%.1f") + " ms max\n";
  table += "ch   state      peak dBFS  rms dBFS  full scale   dc offset\n";
  for (const json& channel : document["channels"]) {
    char line[128];
    std::snprintf(line, sizeof line, "%-4lld %-9s %10s %9s %10s%% %11s\n",
                  static_cast<long long>(channel["channel"].get<std::int64_t>()),
                  channel["state"].get<std::string>().c_str(), figure(channel["peakDbfs"], "%.2f").c_str(),
                  figure(channel["rmsDbfs"], "%.2f").c_str(),
                  figure(channel["fullScaleShare"].is_number() ? json(channel["fullScaleShare"].get<double>() * 100)
                                                               : json(nullptr),
                         "%.3f")
                      .c_str(),
                  figure(channel["dcOffset"], "%+.5f").c_str());
    table += line;
  }
  return table;
}
