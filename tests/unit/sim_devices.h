#pragma once
// Simulated input devices for the device tests.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_world.h"

namespace testing_support {

// An input device with two channels unless told otherwise.
inline sim::Device inputDevice(AudioObjectID id, std::optional<std::string> name, std::optional<std::string> uid,
                               std::vector<UInt32> buffers = {2}) {
  sim::Device d;
  d.id = id;
  d.name = std::move(name);
  d.uid = std::move(uid);
  d.inputBuffers = std::move(buffers);
  return d;
}

// A machine with just these devices.
inline void configureDevices(std::vector<sim::Device> devices) {
  sim::World world;
  world.devices = std::move(devices);
  sim::configure(world);
}

}  // namespace testing_support
