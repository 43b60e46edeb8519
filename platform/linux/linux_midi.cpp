// Core MIDI's contract over the ALSA sequencer.
//
// Destinations are the sequencer ports other programs accept events on
// (writable and open to subscription, not marked private), ordered by client
// and port, leaving out the system client and our own. Each is shown as
// "client name:port name", the two names every ALSA MIDI tool shows for a
// port. Our client "Tavirel" has one readable port, "Tavirel Out", from which
// messages are delivered directly, without a queue.
#include <alsa/asoundlib.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "platform/api/core_midi.h"
#include "platform/common/cf_string.h"
#include "platform/common/midi_packets.h"
#include "platform/common/os_status.h"
#include "platform/linux/alsa_quiet.h"
#include "platform/linux/alsa_seq_encode.h"

namespace {
// Core MIDI's statuses where ALSA has no error number of its own.
using os_status::invalidClient;
using os_status::invalidPort;
using os_status::unknownEndpoint;
using os_status::unknownMidiProperty;

// Endpoints, clients and ports as handles that are never 0.
constexpr UInt32 endpointTag = 0x01000000;
constexpr MIDIClientRef ourClientRef = 1;

struct Destination {
  int client = 0, port = 0;
  std::string name;
  MIDIEndpointRef ref() const { return endpointTag | static_cast<UInt32>(client) << 8 | static_cast<UInt32>(port); }
};

struct Sequencer {
  std::mutex lock;
  snd_seq_t* handle = nullptr;  // our client, once made; never closed
  int port = -1;
  std::vector<Destination> listed;  // as of the last count, for the lookups that follow
};

Sequencer& sequencer() {
  static auto* instance = new Sequencer;  // never destroyed: sends may come until _exit
  return *instance;
}

// Client and port names are bytes; a display name is text, so bytes that are
// not UTF-8 become U+FFFD.
std::string validUtf8(const std::string& bytes) {
  std::vector<UChar> wide(bytes.size() + 1);
  int32_t wideLength = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(wide.data(), static_cast<int32_t>(wide.size()), &wideLength, bytes.data(),
                       static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr, &error);
  if (U_FAILURE(error)) return "";
  std::string text(static_cast<std::size_t>(wideLength) * 3 + 1, '\0');
  int32_t textLength = 0;
  u_strToUTF8(text.data(), static_cast<int32_t>(text.size()), &textLength, wide.data(), wideLength, &error);
  if (U_FAILURE(error)) return "";
  text.resize(static_cast<std::size_t>(textLength));
  return text;
}

std::string displayName(const char* client, const char* port) {
  std::string clientName = client != nullptr ? client : "", portName = port != nullptr ? port : "";
  if (portName.empty()) return validUtf8(clientName);
  if (clientName.empty()) return validUtf8(portName);
  return validUtf8(clientName + ":" + portName);
}

std::vector<Destination> scan(snd_seq_t* seq) {
  std::vector<Destination> found;
  int self = snd_seq_client_id(seq);
  snd_seq_client_info_t* client;
  snd_seq_port_info_t* port;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    int id = snd_seq_client_info_get_client(client);
    if (id == SND_SEQ_CLIENT_SYSTEM || id == self) continue;
    snd_seq_port_info_set_client(port, id);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      unsigned caps = snd_seq_port_info_get_capability(port);
      unsigned wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
      if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) continue;
      found.push_back({id, snd_seq_port_info_get_port(port),
                       displayName(snd_seq_client_info_get_name(client), snd_seq_port_info_get_name(port))});
    }
  }
  std::sort(found.begin(), found.end(),
            [](const Destination& a, const Destination& b) { return std::pair(a.client, a.port) < std::pair(b.client, b.port); });
  return found;
}

const Destination* listedDestination(const Sequencer& seq, MIDIObjectRef ref) {
  for (auto& destination : seq.listed)
    if (destination.ref() == ref) return &destination;
  return nullptr;
}
}  // namespace

ItemCount MIDIGetNumberOfDestinations() {
  quietAlsa();
  auto& seq = sequencer();
  std::lock_guard guard(seq.lock);
  if (seq.handle != nullptr) {
    seq.listed = scan(seq.handle);
  } else {
    // Listing leaves no client behind: a passing one looks, then goes.
    snd_seq_t* passing = nullptr;
    seq.listed.clear();
    if (snd_seq_open(&passing, "default", SND_SEQ_OPEN_OUTPUT, 0) >= 0) {
      seq.listed = scan(passing);
      snd_seq_close(passing);
    }
  }
  return seq.listed.size();
}

MIDIEndpointRef MIDIGetDestination(ItemCount destIndex0) {
  auto& seq = sequencer();
  std::lock_guard guard(seq.lock);
  return destIndex0 < seq.listed.size() ? seq.listed[destIndex0].ref() : 0;
}

OSStatus MIDIObjectGetStringProperty(MIDIObjectRef obj, CFStringRef propertyID, CFStringRef* str) {
  auto& seq = sequencer();
  std::lock_guard guard(seq.lock);
  auto* destination = listedDestination(seq, obj);
  if (destination == nullptr) return unknownEndpoint;
  if (propertyID != kMIDIPropertyDisplayName || destination->name.empty()) return unknownMidiProperty;
  *str = CFStringCreateWithCString(kCFAllocatorDefault, destination->name.c_str(), kCFStringEncodingUTF8);
  return 0;
}

OSStatus MIDIClientCreate(CFStringRef name, MIDINotifyProc, void*, MIDIClientRef* outClient) {
  quietAlsa();
  auto& seq = sequencer();
  std::lock_guard guard(seq.lock);
  if (seq.handle == nullptr) {
    snd_seq_t* handle = nullptr;
    if (int opened = snd_seq_open(&handle, "default", SND_SEQ_OPEN_OUTPUT, 0); opened < 0) return opened;
    seq.handle = handle;
  }
  snd_seq_set_client_name(seq.handle, cfStringText(name).c_str());
  *outClient = ourClientRef;
  return 0;
}

OSStatus MIDIOutputPortCreate(MIDIClientRef client, CFStringRef portName, MIDIPortRef* outPort) {
  auto& seq = sequencer();
  std::lock_guard guard(seq.lock);
  if (client != ourClientRef || seq.handle == nullptr) return invalidClient;
  // Readable and open to subscription, so that other programs see where our messages come from.
  int port = snd_seq_create_simple_port(seq.handle, cfStringText(portName).c_str(),
                                        SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (port < 0) return port;
  seq.port = port;
  *outPort = static_cast<MIDIPortRef>(port) + 1;
  return 0;
}

OSStatus MIDISend(MIDIPortRef port, MIDIEndpointRef dest, const MIDIPacketList* pktlist) {
  auto& seq = sequencer();
  std::lock_guard guard(seq.lock);
  if (seq.handle == nullptr || seq.port < 0 || port != static_cast<MIDIPortRef>(seq.port) + 1) return invalidPort;
  auto* destination = listedDestination(seq, dest);
  if (destination == nullptr) return unknownEndpoint;

  auto deliver = [&seq, destination](snd_seq_event_t& event) {
    snd_seq_ev_set_source(&event, static_cast<unsigned char>(seq.port));
    snd_seq_ev_set_dest(&event, static_cast<unsigned char>(destination->client),
                        static_cast<unsigned char>(destination->port));
    snd_seq_ev_set_direct(&event);
    int sent = snd_seq_event_output_direct(seq.handle, &event);
    return sent < 0 ? sent : 0;
  };
  if (OSStatus status = midi_packets::checkList(pktlist); status != noErr) return status;
  const MIDIPacket* packet = &pktlist->packet[0];
  for (UInt32 i = 0; i < pktlist->numPackets; ++i, packet = midi_packets::next(packet))
    if (int result = encodeMidi(packet->data, packet->length, deliver); result < 0) return result;
  return 0;
}
