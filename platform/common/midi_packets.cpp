// Packet lists as Core MIDI lays them out: a count, then packets back to back,
// each a time stamp, a 16-bit length and that many bytes, 4-byte aligned.
#include <cstring>

#include "platform/api/core_midi.h"

namespace {
constexpr ByteCount packetHeader = offsetof(MIDIPacket, data);

MIDIPacket* nextPacket(MIDIPacket* packet) {
  auto address = reinterpret_cast<std::uintptr_t>(packet->data) + packet->length;
  return reinterpret_cast<MIDIPacket*>((address + 3) & ~std::uintptr_t{3});
}
}  // namespace

MIDIPacket* MIDIPacketListInit(MIDIPacketList* pktlist) {
  pktlist->numPackets = 0;
  return &pktlist->packet[0];
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* pktlist, ByteCount listSize, MIDIPacket* curPacket, MIDITimeStamp time,
                              ByteCount nData, const Byte* data) {
  MIDIPacket* packet = pktlist->numPackets == 0 ? curPacket : nextPacket(curPacket);
  auto* listStart = reinterpret_cast<Byte*>(pktlist);
  auto used = static_cast<ByteCount>(reinterpret_cast<Byte*>(packet) - listStart);
  if (nData > 0xFFFF || used + packetHeader + nData > listSize) return nullptr;
  packet->timeStamp = time;
  packet->length = static_cast<UInt16>(nData);
  if (nData > 0) std::memcpy(packet->data, data, nData);
  pktlist->numPackets += 1;
  return packet;
}
