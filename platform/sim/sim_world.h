#pragma once
// The simulated machine: audio devices, the audio unit, microphone
// authorisation and MIDI, each with the faults the program must survive.
// Tests fill it in-process with sim::configure(); tavirel-audio-sim reads the
// scenario file named by TAVIREL_SIM_SCENARIO on first use (sim_scenario.h:
// the keys are the member names below, a new member needs its key there).
//
// Times are milliseconds on the simulation clock, which starts when the world
// is configured and runs `speed` times faster than real time.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/api/audio_toolbox.h"
#include "platform/api/core_midi.h"

namespace sim {

// What one device channel carries. Samples are a pure function of the channel
// and the frame index, so a test can compute what the device delivered.
struct Signal {
  std::string kind = "sine";  // "sine", "constant", "silence", "noise" (seeded, uniform in ±amplitude), "recording"
  double frequency = 440;     // Hz, for "sine"
  double amplitude = 0.5;     // also the value of "constant"
  std::uint32_t seed = 1;     // for "noise"
  // For "recording": a sound file at the device's rate, one sample per frame,
  // then silence (or from the start again with `loop`). A relative path is
  // taken from the scenario file's folder.
  std::string file;
  std::uint32_t fileChannel = 1;
  bool loop = false;
  // Filled in when the scenario is read: that channel of the file.
  std::shared_ptr<const std::vector<float>> recording;
};

struct Device {
  AudioObjectID id = 0;
  std::optional<std::string> name;  // absent: the read yields a null reference
  std::optional<std::string> uid;
  std::vector<UInt32> inputBuffers;    // channels of each input stream buffer
  double rate = 48000;                 // nominal rate
  std::vector<AudioValueRange> ranges;  // available nominal rates

  // Reads that fail with a non-zero status: any of "name", "uid", "rate",
  // "rates", "config".
  std::vector<std::string> unreadable;
  // Rate and range lists whose data read returns fewer bytes than announced.
  bool shortReads = false;

  // A rate request: refused with `setRateStatus` when non-zero; otherwise
  // accepted, and the new rate shows after `rateSettleMs` if it is one of the
  // available rates (an empty list takes any), else never.
  OSStatus setRateStatus = 0;
  double rateSettleMs = 0;

  // Run-time changes, on the simulation clock.
  std::optional<double> vanishAtMs;  // leaves the device list
  std::optional<double> rateChangeAtMs;
  double rateChangeTo = 0;

  // Audio, once the unit has started.
  std::vector<Signal> signals;  // per device channel; missing channels are sines of 100·(i+1) Hz
  UInt32 blockFrames = 480;     // frames per render callback
  double clockPpm = 0;          // the device's clock runs this much fast (slow when negative)
  std::optional<double> unitRate;  // device-side rate the unit reports; default `rate`
  std::optional<double> audioStopsAtMs;  // after this many ms of capture, no more callbacks
  OSStatus renderStatus = 0;             // non-zero: every render fails with it
  std::optional<double> renderFailsAtMs;  // ... only from this time of capture on
  std::optional<double> renderFailsForMs;  // ... and for this long only

  // Filled in by the simulation: an accepted rate request on its way.
  std::optional<double> pendingRate;
  double pendingAtMs = 0;
};

struct AudioUnitFaults {
  bool missing = false;  // no HAL output component
  OSStatus instanceStatus = 0;
  bool nullInstance = false;  // creation reports success but gives no instance
  OSStatus currentDeviceStatus = 0;
  OSStatus formatStatus = 0;
  OSStatus initializeStatus = 0;
  OSStatus startStatus = 0;
};

struct Authorization {
  int state = 3;  // the platform's values: 0 not determined ... 3 authorised
  bool answer = true;  // the user's answer when asked
  double answerAfterMs = 0;
};

struct MidiDestination {
  std::optional<std::string> name;  // absent: no display name
};

struct SentMessage {
  std::size_t destination;  // index in the destination list
  std::vector<Byte> bytes;
};

struct Midi {
  std::vector<MidiDestination> destinations;
  bool listingHangs = false;  // counting destinations never returns
  OSStatus sendStatus = 0;    // non-zero: MIDISend fails with it
  OSStatus clientStatus = 0;  // non-zero: MIDIClientCreate fails with it
};

// The record of sent MIDI keeps this many of the latest messages.
inline constexpr std::size_t maxSentRecorded = 1024;

struct World {
  std::vector<Device> devices;
  bool deviceListFails = false;
  bool deviceListShortReads = false;  // the list's data read returns one id fewer than announced
  AudioUnitFaults unit;
  Authorization authorization;
  Midi midi;
  double speed = 1;

  // Filled in by the simulation as the program runs.
  std::vector<SentMessage> sent;  // the latest maxSentRecorded, oldest first
  int clientsCreated = 0;
  int portsCreated = 0;
  std::string clientName, portName;  // as last created
};

// Replaces the world and restarts the simulation clock.
void configure(const World& world);

// The world, read from TAVIREL_SIM_SCENARIO on first use if nobody configured it;
// a refused scenario ends the process with its error event and exit code 2.
// Hold worldLock() while reading or changing it from more than one thread.
World& world();
std::mutex& worldLock();

// Milliseconds on the simulation clock since the world was configured.
double nowMs();

// Sample `frame` of device channel `channel` as the device delivers it.
float sample(const Device& device, std::size_t channel, std::uint64_t frame);

}  // namespace sim
