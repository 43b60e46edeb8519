#pragma once
// The input devices as the application sees them, and lookup by UID or name.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

struct DeviceRecord {
  std::string name;
  std::string uid;
  std::int64_t channels = 0;
  double rate = 0;
  std::vector<double> rates;
};

// {"name", "uid", "channels", "rate", "rates"}
nlohmann::json toJson(const DeviceRecord& record);

std::vector<DeviceRecord> inputDevices();
std::optional<AudioObjectID> findDevice(std::string_view query);
