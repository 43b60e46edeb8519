#include "midi/midi_output.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "midi/destination_match.h"
#include "platform/platform.h"
#include "text/cf_text.h"

namespace {
// This process's MIDI client and output port; 0 until the first send.
MIDIClientRef midiClient = 0;
MIDIPortRef midiPort = 0;

CFStringRef makeString(const char* text) {
  return CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

// The client and its port are made once; whichever failed is tried again on
// the next send.
void makeClientAndPort() {
  if (midiClient == 0) {
    CFStringRef name = makeString("Tavirel");
    MIDIClientCreate(name, nullptr, nullptr, &midiClient);
    if (name != nullptr) CFRelease(name);
  }
  if (midiClient != 0 && midiPort == 0) {
    CFStringRef name = makeString("Tavirel Out");
    MIDIOutputPortCreate(midiClient, name, &midiPort);
    if (name != nullptr) CFRelease(name);
  }
}

// Core MIDI takes packet lists of at most this many bytes (MIDIServices.h).
constexpr ByteCount largestPacketList = 65536;

// Sends the whole message as one packet; a text saying why when it did not go out.
std::optional<std::string> deliver(const std::vector<std::uint8_t>& message, MIDIEndpointRef endpoint,
                                   const std::string& name) {
  // A packet holds at least one byte: an empty message has nothing to send.
  if (message.empty()) return std::nullopt;
  // Room for the list and packet headers and every byte, up to the largest
  // list there may be: a message that needs more does not fit.
  ByteCount needed = offsetof(MIDIPacketList, packet) + offsetof(MIDIPacket, data) + message.size();
  ByteCount size = std::clamp<ByteCount>(needed, 1024, largestPacketList);
  std::vector<std::uint32_t> storage((size + 3) / 4);  // packet lists are 4-byte aligned
  auto* list = reinterpret_cast<MIDIPacketList*>(storage.data());
  MIDIPacket* packet = MIDIPacketListInit(list);
  if (MIDIPacketListAdd(list, size, packet, 0, message.size(), message.data()) == nullptr)
    return "MIDI message of " + std::to_string(message.size()) + " bytes does not fit one packet; not sent to " + name;
  OSStatus result = MIDISend(midiPort, endpoint, list);
  if (result != 0) return "MIDI send to " + name + " failed (" + std::to_string(result) + ")";
  return std::nullopt;
}

}  // namespace

std::vector<std::string> midiDestinations() {
  ItemCount count = MIDIGetNumberOfDestinations();
  std::vector<std::string> names;
  names.reserve(count);
  for (ItemCount i = 0; i < count; ++i) {
    CFStringRef name = nullptr;
    MIDIObjectGetStringProperty(MIDIGetDestination(i), kMIDIPropertyDisplayName, &name);
    names.push_back(takeTextIfAny(name).value_or("Destination " + std::to_string(i + 1)));
  }
  return names;
}

MidiOutcome sendMidi(std::vector<std::uint8_t> message, const std::string& dest) {
  makeClientAndPort();
  auto names = midiDestinations();
  auto found = matchDestination(names, dest);
  if (!found) return MidiNotSent{"MIDI destination not found: " + dest};
  const std::string& name = names[*found];
  if (auto failure = deliver(message, MIDIGetDestination(*found), name)) return MidiNotSent{*failure};
  return MidiSent{name, std::move(message)};
}

bool midiClientMade() { return midiClient != 0; }

void forgetMidiClient() {
  midiClient = 0;
  midiPort = 0;
}
