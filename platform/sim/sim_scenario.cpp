#include "platform/sim/sim_scenario.h"

#include "platform/sim/sim_recording.h"

#include <algorithm>
#include <cerrno>
#include <concepts>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <system_error>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

namespace sim {
namespace {
using nlohmann::json;

// A key of a structure: its name in the scenario and the member it sets. A
// text key (or list of texts) may accept only the values in `allowed`.
template <typename Owner, typename Value>
struct Key {
  std::string_view name;
  Value Owner::*member;
  std::span<const std::string_view> allowed;
};

template <typename Owner, typename Value>
constexpr Key<Owner, Value> key(std::string_view name, Value Owner::*member,
                                std::span<const std::string_view> allowed = {}) {
  return {name, member, allowed};
}

constexpr std::string_view signalKinds[] = {"sine", "constant", "silence", "noise", "recording"};
constexpr std::string_view deviceReads[] = {"name", "uid", "rate", "rates", "config"};

// The scenario's keys, one table per structure of sim_world.h. What the
// simulation fills in as it runs is no key.
auto keysOf(const Signal&) {
  return std::tuple{key("kind", &Signal::kind, signalKinds), key("frequency", &Signal::frequency),
                    key("amplitude", &Signal::amplitude), key("seed", &Signal::seed), key("file", &Signal::file),
                    key("fileChannel", &Signal::fileChannel), key("loop", &Signal::loop)};
}

auto keysOf(const Device&) {
  return std::tuple{key("id", &Device::id),
                    key("name", &Device::name),
                    key("uid", &Device::uid),
                    key("inputBuffers", &Device::inputBuffers),
                    key("rate", &Device::rate),
                    key("ranges", &Device::ranges),
                    key("unreadable", &Device::unreadable, deviceReads),
                    key("shortReads", &Device::shortReads),
                    key("setRateStatus", &Device::setRateStatus),
                    key("rateSettleMs", &Device::rateSettleMs),
                    key("vanishAtMs", &Device::vanishAtMs),
                    key("rateChangeAtMs", &Device::rateChangeAtMs),
                    key("rateChangeTo", &Device::rateChangeTo),
                    key("signals", &Device::signals),
                    key("blockFrames", &Device::blockFrames),
                    key("clockPpm", &Device::clockPpm),
                    key("unitRate", &Device::unitRate),
                    key("audioStopsAtMs", &Device::audioStopsAtMs),
                    key("renderStatus", &Device::renderStatus),
                    key("renderFailsAtMs", &Device::renderFailsAtMs),
                    key("renderFailsForMs", &Device::renderFailsForMs)};
}

auto keysOf(const AudioUnitFaults&) {
  return std::tuple{key("missing", &AudioUnitFaults::missing),
                    key("instanceStatus", &AudioUnitFaults::instanceStatus),
                    key("nullInstance", &AudioUnitFaults::nullInstance),
                    key("currentDeviceStatus", &AudioUnitFaults::currentDeviceStatus),
                    key("formatStatus", &AudioUnitFaults::formatStatus),
                    key("initializeStatus", &AudioUnitFaults::initializeStatus),
                    key("startStatus", &AudioUnitFaults::startStatus)};
}

auto keysOf(const Authorization&) {
  return std::tuple{key("state", &Authorization::state), key("answer", &Authorization::answer),
                    key("answerAfterMs", &Authorization::answerAfterMs)};
}

auto keysOf(const Midi&) {
  return std::tuple{key("destinations", &Midi::destinations), key("listingHangs", &Midi::listingHangs),
                    key("sendStatus", &Midi::sendStatus), key("clientStatus", &Midi::clientStatus)};
}

auto keysOf(const World&) {
  return std::tuple{key("devices", &World::devices),
                    key("deviceListFails", &World::deviceListFails),
                    key("deviceListShortReads", &World::deviceListShortReads),
                    key("unit", &World::unit),
                    key("authorization", &World::authorization),
                    key("midi", &World::midi),
                    key("speed", &World::speed)};
}

template <typename T>
concept Keyed = requires(const T& value) { keysOf(value); };

template <typename T>
constexpr bool isOptional = false;
template <typename T>
constexpr bool isOptional<std::optional<T>> = true;

template <typename T>
constexpr bool isVector = false;
template <typename T>
constexpr bool isVector<std::vector<T>> = true;

// Where in the scenario a refusal is, and what is wrong there.
struct Refusal {
  std::string at;
  std::string what;
};

// A text from the file, in quotes and escaped, so a message stays one line.
std::string inQuotes(std::string_view text) {
  return json(std::string(text)).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string memberOf(const std::string& at, std::string_view name) {
  bool plain = std::ranges::none_of(name, [](unsigned char c) { return c < 0x20 || c == 0x7f; });
  std::string shown = plain ? std::string(name) : inQuotes(name);
  return at.empty() ? shown : at + "." + shown;
}

std::string elementOf(const std::string& at, std::size_t index) { return at + "[" + std::to_string(index) + "]"; }

std::string described(const json& value) {
  switch (value.type()) {
    case json::value_t::string:
      return "a string";
    case json::value_t::array:
      return "an array";
    case json::value_t::object:
      return "an object";
    default:
      return value.dump();  // null, true, false, numbers: plain ASCII
  }
}

[[noreturn]] void refuse(const std::string& at, const json& value, const std::string& expected) {
  throw Refusal{at, "must be " + expected + ", not " + described(value)};
}

void checkAllowed(const std::string& text, std::span<const std::string_view> allowed, const std::string& at) {
  if (allowed.empty() || std::ranges::find(allowed, text) != allowed.end()) return;
  std::string list;
  for (auto value : allowed) list += (list.empty() ? "" : ", ") + std::string(value);
  throw Refusal{at, "must be one of " + list + ", not " + inQuotes(text)};
}

void checkAllowed(const std::vector<std::string>& texts, std::span<const std::string_view> allowed,
                  const std::string& at) {
  for (std::size_t i = 0; i < texts.size(); ++i) checkAllowed(texts[i], allowed, elementOf(at, i));
}

template <typename T>
void checkAllowed(const T&, std::span<const std::string_view>, const std::string&) {}

template <std::integral T>
void readWhole(const json& value, T& out, const std::string& at) {
  bool fits = value.is_number_unsigned() ? std::in_range<T>(value.get<std::uint64_t>())
                                         : value.is_number_integer() && std::in_range<T>(value.get<std::int64_t>());
  if (!fits) {
    using Limits = std::numeric_limits<T>;
    refuse(at, value, "a whole number from " + std::to_string(Limits::min()) + " to " + std::to_string(Limits::max()));
  }
  out = value.is_number_unsigned() ? static_cast<T>(value.get<std::uint64_t>())
                                   : static_cast<T>(value.get<std::int64_t>());
}

template <typename T>
void read(const json& value, T& out, const std::string& at) {
  if constexpr (Keyed<T>) {
    if (!value.is_object()) refuse(at.empty() ? "the scenario" : at, value, "an object");
    for (auto& entry : value.items()) {
      // Named copies, not a structured binding: clang before 16 cannot capture one.
      const std::string& name = entry.key();
      const json& item = entry.value();
      bool known = false;
      std::apply(
          [&](const auto&... keys) {
            auto readKey = [&](const auto& key) {
              if (known || key.name != name) return;
              known = true;
              std::string here = memberOf(at, name);
              read(item, out.*key.member, here);
              checkAllowed(out.*key.member, key.allowed, here);
            };
            (readKey(keys), ...);
          },
          keysOf(out));
      if (!known) throw Refusal{memberOf(at, name), "is not a key of the scenario"};
    }
  } else if constexpr (isOptional<T>) {
    if (value.is_null())
      out.reset();
    else
      read(value, out.emplace(), at);
  } else if constexpr (isVector<T>) {
    if (!value.is_array()) refuse(at, value, "an array");
    out.clear();
    for (std::size_t i = 0; i < value.size(); ++i) read(value[i], out.emplace_back(), elementOf(at, i));
  } else if constexpr (std::same_as<T, AudioValueRange>) {
    if (!value.is_array() || value.size() != 2) refuse(at, value, "a pair [lowest, highest]");
    read(value[0], out.mMinimum, elementOf(at, 0));
    read(value[1], out.mMaximum, elementOf(at, 1));
  } else if constexpr (std::same_as<T, MidiDestination>) {
    read(value, out.name, at);  // a name, or null for a destination without one
  } else if constexpr (std::same_as<T, bool>) {
    if (!value.is_boolean()) refuse(at, value, "true or false");
    out = value.get<bool>();
  } else if constexpr (std::same_as<T, std::string>) {
    if (!value.is_string()) refuse(at, value, "a string");
    out = value.get<std::string>();
  } else if constexpr (std::floating_point<T>) {
    if (!value.is_number()) refuse(at, value, "a number");
    out = value.get<T>();
  } else {
    readWhole(value, out, at);
  }
}

template <typename T>
json written(const T& value) {
  if constexpr (Keyed<T>) {
    json object = json::object();
    std::apply([&](const auto&... keys) { ((object[std::string(keys.name)] = written(value.*keys.member)), ...); },
               keysOf(value));
    return object;
  } else if constexpr (isOptional<T>) {
    return value ? written(*value) : json();
  } else if constexpr (isVector<T>) {
    json array = json::array();
    for (auto& item : value) array.push_back(written(item));
    return array;
  } else if constexpr (std::same_as<T, AudioValueRange>) {
    return json::array({value.mMinimum, value.mMaximum});
  } else if constexpr (std::same_as<T, MidiDestination>) {
    return written(value.name);
  } else {
    return value;
  }
}

// Line and column (from 1) of the byte a parse error names (from 1).
std::string position(std::string_view text, std::size_t byte) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    column = text[i] == '\n' ? 1 : column + 1;
    if (text[i] == '\n') ++line;
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// Reads the file of every "recording" signal, at its device's rate.
void readRecordings(World& world, std::string_view scenarioFile) {
  auto slash = scenarioFile.rfind('/');
  std::string folder = slash == std::string_view::npos ? "" : std::string(scenarioFile.substr(0, slash + 1));
  for (std::size_t d = 0; d < world.devices.size(); ++d) {
    auto& device = world.devices[d];
    for (std::size_t s = 0; s < device.signals.size(); ++s) {
      auto& signal = device.signals[s];
      if (signal.kind != "recording") continue;
      std::string at = elementOf(elementOf("devices", d) + ".signals", s) + ".file";
      if (signal.file.empty()) throw Refusal{at, "must name a sound file for a recording"};
      if (signal.file[0] != '/') signal.file = folder + signal.file;
      auto reading = readRecording(signal.file, signal.fileChannel, device.unitRate.value_or(device.rate));
      if (!reading.samples) throw Refusal{at, inQuotes(signal.file) + " " + reading.problem};
      signal.recording = std::move(reading.samples);
    }
  }
}

// What no real system has, though each value reads on its own: an id that
// names no device (0 is no object, 1 the system object), two devices with one
// id, more frames a block than an output unit hands over (Capture::maxFrames
// on every platform), and a rate change at the start, which is a device's
// `rate`, not a change the watchdog could see.
constexpr std::uint32_t largestBlock = 8192;
// Far beyond any interface (the largest have a few hundred inputs), and low
// enough that no device's total can wrap where the channels are added up.
constexpr std::uint64_t mostChannels = 4096;

void checkDevices(const World& world) {
  for (std::size_t d = 0; d < world.devices.size(); ++d) {
    const Device& device = world.devices[d];
    std::string at = elementOf("devices", d);
    if (device.id == kAudioObjectUnknown || device.id == kAudioObjectSystemObject)
      throw Refusal{at + ".id", "must be a whole number from 2 to 4294967295 (0 names no object, 1 is the "
                                "system object), not " + std::to_string(device.id)};
    for (std::size_t e = 0; e < d; ++e)
      if (world.devices[e].id == device.id)
        throw Refusal{at + ".id", "must differ from every other device's, not " + std::to_string(device.id) +
                                      " (the id of " + elementOf("devices", e) + ")"};
    if (device.blockFrames > largestBlock)
      throw Refusal{at + ".blockFrames", "must be a whole number from 0 to " + std::to_string(largestBlock) +
                                             ", not " + std::to_string(device.blockFrames)};
    std::uint64_t channels = 0;
    for (auto buffer : device.inputBuffers) channels += buffer;
    if (channels > mostChannels)
      throw Refusal{at + ".inputBuffers", "must add up to at most " + std::to_string(mostChannels) +
                                              " channels, not " + std::to_string(channels)};
    // A clock that runs backwards, or stands still, delivers no audio at all.
    if (!(device.clockPpm > -1e6 && device.clockPpm <= 1e6))
      throw Refusal{at + ".clockPpm", "must be a number above -1000000 and at most 1000000, not " +
                                          json(device.clockPpm).dump()};
    if (device.rateChangeAtMs && !(*device.rateChangeAtMs > 0))
      throw Refusal{at + ".rateChangeAtMs", "must be a number above 0 or null (the rate from the start is "
                                            "\"rate\"), not " + json(*device.rateChangeAtMs).dump()};
  }
}

std::string problemPrefix(std::string_view fileName) { return "Scenario file " + std::string(fileName) + ": "; }
}  // namespace

ScenarioReading readScenario(std::string_view text, std::string_view fileName) {
  const std::string prefix = problemPrefix(fileName);
  json scenario;
  try {
    scenario = json::parse(text);
  } catch (const json::parse_error& error) {
    return {std::nullopt, prefix + "not valid JSON (" + position(text, error.byte) + ")"};
  } catch (const json::out_of_range&) {
    // The parser throws this, without a position, for a number beyond a double's range.
    return {std::nullopt, prefix + "not valid JSON (a number too large for a double)"};
  }
  World world;
  try {
    read(scenario, world, "");
    checkDevices(world);
    readRecordings(world, fileName);
  } catch (const Refusal& refusal) {
    return {std::nullopt, prefix + refusal.at + " " + refusal.what};
  }
  return {std::move(world), ""};
}

ScenarioReading readScenarioFile(const std::string& path) {
  std::string text;
  int error = 0;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
    if (std::ferror(file) != 0) error = errno;
    std::fclose(file);
  } else {
    error = errno;
  }
  if (error != 0) return {std::nullopt, problemPrefix(path) + "cannot be read (" + std::generic_category().message(error) + ")"};
  return readScenario(text, path);
}

nlohmann::json scenarioJson(const World& world) { return written(world); }

}  // namespace sim
