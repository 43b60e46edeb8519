// Packet lists as Core MIDI lays them out: a count, then packets back to back,
// each a time stamp, a 16-bit length and that many bytes, 4-byte aligned.
#include "platform/common/midi_packets.h"

#include <cstring>

namespace {
constexpr ByteCount packetHeader = offsetof(MIDIPacket, data);
}  // namespace

namespace midi_packets {

const MIDIPacket* next(const MIDIPacket* packet) {
  auto address = reinterpret_cast<std::uintptr_t>(packet->data) + packet->length;
  return reinterpret_cast<const MIDIPacket*>((address + 3) & ~std::uintptr_t{3});
}

OSStatus checkList(const MIDIPacketList* list) {
  const auto* start = reinterpret_cast<const Byte*>(list);
  const MIDIPacket* packet = &list->packet[0];
  for (UInt32 i = 0; i < list->numPackets; ++i, packet = next(packet)) {
    auto end = static_cast<ByteCount>(packet->data + packet->length - start);
    if (packet->length == 0 || end > largestList) return malformedList;
  }
  return noErr;
}

}  // namespace midi_packets

MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist) {
  pktlist->numPackets = 0;
  return &pktlist->packet[0];
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data) {
  MIDIPacket* packet = pktlist->numPackets == 0 ? curPacket : const_cast<MIDIPacket*>(midi_packets::next(curPacket));
  auto* listStart = reinterpret_cast<Byte*>(pktlist);
  auto used = static_cast<ByteCount>(reinterpret_cast<Byte*>(packet) - listStart);
  if (nData == 0 || nData > 0xFFFF || used + packetHeader + nData > listSize) return nullptr;
  packet->timeStamp = time;
  packet->length = static_cast<UInt16>(nData);
  if (nData > 0) std::memcpy(packet->data, data, nData);
  pktlist->numPackets += 1;
  return packet;
}
