// Core MIDI's contract in the simulation: the scenario's destinations, a
// listing that may never return, send and client failures, and a record of
// the latest packets sent.
#include <chrono>
#include <thread>

#include "platform/api/core_midi.h"
#include "platform/common/cf_string.h"
#include "platform/common/midi_packets.h"
#include "platform/common/os_status.h"
#include "platform/sim/sim_world.h"

namespace {
using os_status::invalidClient;
using os_status::invalidPort;
using os_status::unknownEndpoint;
using os_status::unknownMidiProperty;

// Handles are small numbers with a tag in the high bits, so that a client,
// a port and an endpoint are never mistaken for one another.
constexpr UInt32 clientTag = 0x100000, portTag = 0x200000, endpointTag = 0x300000;

// The destination index of an endpoint, if it names one of the world's destinations.
std::optional<std::size_t> destinationIndex(const sim::World& world, MIDIEndpointRef endpoint) {
  if ((endpoint & 0xF00000) != endpointTag) return std::nullopt;
  std::size_t index = endpoint & 0xFFFFF;
  if (index >= world.midi.destinations.size()) return std::nullopt;
  return index;
}
}  // namespace

ItemCount MIDIGetNumberOfDestinations() {
  auto& world = sim::world();
  bool hangs;
  ItemCount count;
  {
    std::lock_guard guard(sim::worldLock());
    hangs = world.midi.listingHangs;
    count = world.midi.destinations.size();
  }
  while (hangs) std::this_thread::sleep_for(std::chrono::hours(1));
  return count;
}

MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  if (destIndex0 >= world.midi.destinations.size()) return 0;
  return endpointTag | static_cast<UInt32>(destIndex0);
}

OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, CFStringRef propertyID, CFStringRef* str) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  auto index = destinationIndex(world, obj);
  if (!index) return unknownEndpoint;
  auto& name = world.midi.destinations[*index].name;
  if (propertyID != kMIDIPropertyDisplayName || !name) return unknownMidiProperty;
  *str = CFStringCreateWithCString(kCFAllocatorDefault, name->c_str(), kCFStringEncodingUTF8);
  return 0;
}

OSStatus MIDIClientCreate(CFStringRef name, MIDINotifyProc, void*, MIDIClientRef* outClient) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  if (world.midi.clientStatus != 0) return world.midi.clientStatus;
  world.clientsCreated += 1;
  world.clientName = cfStringText(name);
  *outClient = clientTag | static_cast<UInt32>(world.clientsCreated);
  return 0;
}

OSStatus MIDIOutputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIPortRef* outPort) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  if ((client & 0xF00000) != clientTag || (client & 0xFFFFF) == 0 ||
      static_cast<int>(client & 0xFFFFF) > world.clientsCreated)
    return invalidClient;
  world.portsCreated += 1;
  world.portName = cfStringText(portName);
  *outPort = portTag | static_cast<UInt32>(world.portsCreated);
  return 0;
}

OSStatus MIDISend(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) {
  auto& world = sim::world();
  std::lock_guard guard(sim::worldLock());
  if ((port & 0xF00000) != portTag || (port & 0xFFFFF) == 0 || static_cast<int>(port & 0xFFFFF) > world.portsCreated)
    return invalidPort;
  auto index = destinationIndex(world, dest);
  if (!index) return unknownEndpoint;
  if (world.midi.sendStatus != 0) return world.midi.sendStatus;
  if (OSStatus status = midi_packets::checkList(pktlist); status != noErr) return status;
  const MIDIPacket* packet = &pktlist->packet[0];
  for (UInt32 i = 0; i < pktlist->numPackets; ++i, packet = midi_packets::next(packet)) {
    // A long run sends for hours: the record keeps the latest, not all.
    if (world.sent.size() >= sim::maxSentRecorded) world.sent.erase(world.sent.begin());
    world.sent.push_back({*index, std::vector<Byte>(packet->data, packet->data + packet->length)});
  }
  return 0;
}
