// Stand-in.
#include "device/device_catalogue.h"

nlohmann::json toJson(const DeviceRecord& record) {
  return {{"name", record.name}, {"uid", record.uid}, {"channels", record.channels}, {"rate", record.rate},
          {"rates", record.rates}};
}
std::vector<DeviceRecord> inputDevices() { return {}; }
std::optional<AudioObjectID> findDevice(std::string_view) { return std::nullopt; }
