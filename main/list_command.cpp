// `list`: the input devices and the MIDI destinations as one JSON document.
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "device/device_catalogue.h"
#include "main/commands.h"
#include "main/document_output.h"
#include "midi/midi_output.h"
#include "runtime/latch.h"

namespace {
// JSON has no NaN or infinity, and a null rate would read as a missing value:
// a rate the device reports as such is shown as 0 (unknown), and dropped from
// the list of available rates.
nlohmann::json recordJson(DeviceRecord record) {
  if (!std::isfinite(record.rate)) record.rate = 0;
  std::erase_if(record.rates, [](double rate) { return !std::isfinite(rate); });
  return toJson(record);
}
}  // namespace

void listCommand() {
  // Shared with the MIDI lookup, which may still be running after the deadline.
  auto lookup = std::make_shared<Latch<std::vector<std::string>>>();
  std::thread([lookup] { lookup->give(midiDestinations()); }).detach();

  auto inputs = nlohmann::json::array();
  for (auto& record : inputDevices()) inputs.push_back(recordJson(record));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);

  nlohmann::json document = {{"inputs", std::move(inputs)}};
  if (auto names = lookup->waitUntil(deadline)) {
    document["midi"] = std::move(*names);
  } else {
    document["midi"] = nlohmann::json::array();
    document["midiError"] = "MIDI server not responding";
  }

  endWithDocument(documentText(document));
}
