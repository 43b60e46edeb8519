// The process's view of the ALSA devices: ids that never change for a uid,
// what each PCM offers (probed once while it stays present, since opening is
// the slow part and a device we capture from is busy), and the nominal rate
// chosen for each.
#include "platform/linux/alsa_devices.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>

#include "platform/host.h"
#include "platform/linux/alsa_card_streams.h"
#include "platform/linux/alsa_probe.h"
#include "platform/linux/alsa_scan.h"

namespace {
struct Catalogue {
  std::mutex lock;
  bool scanned = false;
  std::vector<AlsaPcmEntry> present;         // the latest scan, in order
  std::map<std::string, AudioObjectID> ids;  // kept for the life of the process
  AudioObjectID nextId = 2;                  // 0 is no object, 1 the system object
  std::map<std::string, AlsaProbe> probes;   // for the present uids
  std::map<std::string, double> chosenRates;
};

Catalogue& catalogue() {
  static auto* instance = new Catalogue;  // never destroyed: other threads may outlive main
  return *instance;
}

AudioObjectID idFor(Catalogue& c, const std::string& uid) {
  auto [found, added] = c.ids.try_emplace(uid, c.nextId);
  if (added) ++c.nextId;
  return found->second;
}

void rescan(Catalogue& c) {
  c.present = scanAlsaPcms();
  c.scanned = true;
  // A device that went away is probed afresh when it comes back.
  std::map<std::string, AlsaProbe> kept;
  for (const auto& entry : c.present) {
    idFor(c, entry.uid);
    if (auto probe = c.probes.find(entry.uid); probe != c.probes.end()) kept.emplace(entry.uid, probe->second);
  }
  c.probes = std::move(kept);
}

const AlsaPcmEntry* entryFor(Catalogue& c, AudioObjectID id) {
  if (!c.scanned) rescan(c);
  for (const auto& entry : c.present)
    if (c.ids.at(entry.uid) == id) return &entry;
  return nullptr;
}

// Long enough for any PCM that answers at all (a card opens in milliseconds,
// a plugin chain over a sound server in tens of them), short enough that one
// that never does costs the listing no more than a second.
constexpr std::chrono::milliseconds probeLimit{1000};

AlsaProbe probeNow(const AlsaPcmEntry& entry) {
  AlsaProbe probe = probeAlsaPcmWithin(entry.pcm, entry.hardware, probeLimit);
  if (!probe.answered)
    host::systemLog(true, "ALSA: \"" + entry.pcm + "\" did not answer within " +
                               std::to_string(probeLimit.count()) + " ms: left out of the devices");
  return probe;
}

// A busy or refused device is asked again each time, since it is free once
// its holder lets go, and open once the user is given access. One that did
// not answer is not asked again while it stays present: its probe may still
// hang on.
const AlsaProbe& probeOf(Catalogue& c, const AlsaPcmEntry& entry) {
  auto found = c.probes.find(entry.uid);
  if (found != c.probes.end() && (found->second.busy || found->second.denied)) {
    c.probes.erase(found);
    found = c.probes.end();
  }
  if (found == c.probes.end()) found = c.probes.emplace(entry.uid, probeNow(entry)).first;
  return found->second;
}

// What the card says of a busy hardware device stands in for the probe: it
// stays listed, and opening it then says it is busy.
AlsaProbe busyStandIn(const AlsaPcmEntry& entry) {
  AlsaProbe standIn;
  auto described = cardCapture(entry.card, entry.device);
  if (!described) return standIn;
  standIn.channels = described->channels;
  standIn.ranges = described->ranges;
  double use = 0;
  standIn.preferredRate = offersRate(standIn.ranges, 48000, &use) ? use : standIn.ranges.front().mMinimum;
  standIn.usable = true;
  standIn.busy = true;
  return standIn;
}

// A device the user may not open must still be listed, or the parent waits
// for it to come back for ever instead of asking for access: a run on it is
// then denied access. Its card may describe it; else it stands as the
// commonest capture device, two inputs at 48 000 Hz, until it may be opened.
AlsaProbe deniedStandIn(const AlsaPcmEntry& entry) {
  AlsaProbe standIn;
  auto described = entry.hardware ? cardCapture(entry.card, entry.device) : std::nullopt;
  standIn.channels = described ? described->channels : 2;
  standIn.ranges = described ? described->ranges : std::vector<AudioValueRange>{{48000, 48000}};
  double use = 0;
  standIn.preferredRate = offersRate(standIn.ranges, 48000, &use) ? use : standIn.ranges.front().mMinimum;
  standIn.usable = true;
  standIn.denied = true;
  return standIn;
}

AlsaProbe offerOf(Catalogue& c, const AlsaPcmEntry& entry) {
  const auto& probe = probeOf(c, entry);
  if (probe.denied) return deniedStandIn(entry);
  return probe.busy && entry.hardware ? busyStandIn(entry) : probe;
}

std::optional<AlsaDevice> describe(Catalogue& c, const AlsaPcmEntry& entry) {
  AlsaProbe probe = offerOf(c, entry);
  if (!probe.usable) return std::nullopt;
  auto chosen = c.chosenRates.find(entry.uid);
  return AlsaDevice{c.ids.at(entry.uid),
                    entry.pcm,
                    entry.name,
                    entry.uid,
                    probe.channels,
                    chosen != c.chosenRates.end() ? chosen->second : probe.preferredRate,
                    probe.ranges,
                    entry.hardware};
}
}  // namespace

std::vector<AlsaDevice> alsaCaptureDevices() {
  auto& c = catalogue();
  std::lock_guard guard(c.lock);
  rescan(c);
  std::vector<AlsaDevice> devices;
  for (const auto& entry : c.present)
    if (auto device = describe(c, entry)) devices.push_back(std::move(*device));
  return devices;
}

std::optional<AlsaDevice> alsaDevice(AudioObjectID id) {
  auto& c = catalogue();
  std::lock_guard guard(c.lock);
  const auto* entry = entryFor(c, id);
  if (entry == nullptr) return std::nullopt;
  return describe(c, *entry);
}

namespace {
std::vector<AudioObjectID> presentIds(Catalogue& c, bool fresh) {
  if (fresh || !c.scanned) rescan(c);
  std::vector<AudioObjectID> ids;
  for (const auto& entry : c.present) ids.push_back(c.ids.at(entry.uid));
  return ids;
}
}  // namespace

std::vector<AudioObjectID> alsaDeviceIds() {
  auto& c = catalogue();
  std::lock_guard guard(c.lock);
  return presentIds(c, true);
}

std::vector<AudioObjectID> alsaLatestDeviceIds() {
  auto& c = catalogue();
  std::lock_guard guard(c.lock);
  return presentIds(c, false);
}

bool alsaSetNominalRate(AudioObjectID id, double rate) {
  auto& c = catalogue();
  std::lock_guard guard(c.lock);
  const auto* entry = entryFor(c, id);
  if (entry == nullptr) return false;
  AlsaProbe probe = offerOf(c, *entry);
  double use = 0;
  if (!probe.usable || !offersRate(probe.ranges, rate, &use)) return false;
  c.chosenRates[entry->uid] = use;
  return true;
}
