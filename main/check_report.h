#pragma once
// The line check's document: the device, its blocks and clock, the gaps, and
// one record per device channel with its levels and state. The keys are in
// docs/schema/check.schema.json.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "capture/capture.h"
#include "device/resolved_run.h"

struct CheckFindings {
  Capture::Measured measured;
  DeviceClock::Reading clock;
  Capture::Health health;
  std::uint64_t gaps = 0;
  double gapSeconds = 0;
};

nlohmann::json checkDocument(const ResolvedRun& run, double rate, const CheckFindings& findings);

// The same document as a table for a person at a terminal.
std::string checkTable(const nlohmann::json& document);
