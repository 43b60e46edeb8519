// `list`: the input devices and the MIDI destinations as one JSON document.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "device/device_catalogue.h"
#include "main/commands.h"
#include "main/document_output.h"
#include "midi/midi_output.h"

namespace {
// Shared with the MIDI lookup, which may still be writing after the deadline.
struct MidiLookup {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::vector<std::string> names;
};

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
  auto lookup = std::make_shared<MidiLookup>();
  std::thread([lookup] {
    auto names = midiDestinations();
    {
      std::lock_guard guard(lookup->lock);
      lookup->names = std::move(names);
      lookup->done = true;
    }
    lookup->finished.notify_all();
  }).detach();

  auto inputs = nlohmann::json::array();
  for (auto& record : inputDevices()) inputs.push_back(recordJson(record));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(2.0);

  nlohmann::json document = {{"inputs", std::move(inputs)}};
  {
    std::unique_lock guard(lookup->lock);
    lookup->finished.wait_until(guard, deadline, [&] { return lookup->done; });
    if (lookup->done) {
      document["midi"] = lookup->names;
    } else {
      document["midi"] = nlohmann::json::array();
      document["midiError"] = "MIDI server not responding";
    }
  }

  endWithDocument(documentText(document));
}
