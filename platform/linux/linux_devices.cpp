#include "platform/linux/linux_devices.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/host.h"
#include "platform/linux/alsa_devices.h"
#include "platform/linux/pw_graph.h"

namespace {
// With no daemon socket there is nothing to wait for: a connection fails at
// once, and half a second is plenty. With one, the daemon runs or is starting:
// under load (at login, or a busy machine) its first answer can take a second
// or more, and giving up then would put the process on ALSA, where the
// sound server's devices are not, for the rest of its life. Five seconds
// covers a loaded daemon with room to spare and is still short of what the
// parent waits for a listing. A daemon that cannot answer (its process
// stopped, or none listening at a socket left behind) gets the half second.
constexpr int noSocketAnswerMs = 500;
constexpr int socketAnswerMs = 5000;

// Where a PipeWire client looks for the daemon: PIPEWIRE_REMOTE ("pipewire-0"
// unless set), in PIPEWIRE_RUNTIME_DIR, else XDG_RUNTIME_DIR, unless absolute.
std::string daemonSocket() {
  const char* remote = std::getenv("PIPEWIRE_REMOTE");
  std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
  if (name.front() == '/') return name;
  for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"})
    if (const char* dir = std::getenv(variable); dir != nullptr && *dir != '\0') return std::string(dir) + "/" + name;
  return "";
}

bool isSocket(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Whether a process listens at the socket and may answer: false when the
// connection is refused or the listener is stopped (SIGSTOP, a debugger),
// which answers nothing however long we wait. A listener we cannot see
// (a full backlog, another user's /proc) is taken to be able to.
bool listenerCanAnswer(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return true;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;
  bool connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  int error = errno;
  ucred peer{};
  socklen_t size = sizeof peer;
  bool known = connected && getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0;
  close(fd);
  if (!connected) return error != ECONNREFUSED;
  if (!known) return true;
  std::ifstream stat("/proc/" + std::to_string(peer.pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  auto end = text.rfind(')');  // the state follows the command name, which may hold anything
  if (end == std::string::npos || end + 2 >= text.size()) return true;
  char state = text[end + 2];
  return state != 'T' && state != 't';
}

bool choosePipeWire() {
  const char* forced = std::getenv("TAVIREL_AUDIO_BACKEND");
  if (forced != nullptr && std::strcmp(forced, "alsa") == 0) {
    host::systemLog(false, "sound system: ALSA, as TAVIREL_AUDIO_BACKEND asks");
    return false;
  }
  std::string socket = daemonSocket();
  bool present = isSocket(socket);
  int waitMs = present && listenerCanAnswer(socket) ? socketAnswerMs : noSocketAnswerMs;
  if (pwConnect(waitMs)) return true;
  host::systemLog(present, present ? "sound system: ALSA, since the PipeWire daemon at " + socket +
                                          " did not answer within " + std::to_string(waitMs) + " ms"
                                    : "sound system: ALSA, since there is no PipeWire daemon (no socket at " +
                                          (socket.empty() ? std::string("an unknown path") : socket) + ")");
  return false;
}

std::vector<AudioValueRange> rangesOf(const std::vector<double>& rates) {
  std::vector<AudioValueRange> ranges;
  for (double rate : rates) ranges.push_back({rate, rate});
  return ranges;
}
}  // namespace

const SoundSystem& soundSystem() {
  static const SoundSystem chosen = choosePipeWire() ? SoundSystem{PipeWireSystem{}} : SoundSystem{AlsaSystem{}};
  return chosen;
}

std::vector<AudioObjectID> AlsaSystem::deviceIds(bool fresh) const {
  return fresh ? alsaDeviceIds() : alsaLatestDeviceIds();
}

std::optional<LinuxDevice> AlsaSystem::device(AudioObjectID id) const {
  auto device = alsaDevice(id);
  if (!device) return std::nullopt;
  return LinuxDevice{device->name, device->uid, device->channels, device->rate, device->ranges};
}

bool AlsaSystem::setNominalRate(AudioObjectID id, double rate) const { return alsaSetNominalRate(id, rate); }

std::vector<AudioObjectID> PipeWireSystem::deviceIds(bool fresh) const {
  std::vector<AudioObjectID> ids;
  for (const auto& source : pwSources(fresh)) ids.push_back(source.id);
  return ids;
}

std::optional<LinuxDevice> PipeWireSystem::device(AudioObjectID id) const {
  auto source = pwSource(id);
  if (!source) return std::nullopt;
  auto clock = pwClock();
  return LinuxDevice{source->name, source->uid, source->channels, clock.rate, rangesOf(clock.allowed)};
}

bool PipeWireSystem::setNominalRate(AudioObjectID id, double rate) const {
  return pwSource(id).has_value() && pwRequestRate(rate);
}

std::vector<AudioObjectID> linuxDeviceIds(bool fresh) {
  return std::visit([&](const auto& system) { return system.deviceIds(fresh); }, soundSystem());
}

std::optional<LinuxDevice> linuxDevice(AudioObjectID id) {
  return std::visit([&](const auto& system) { return system.device(id); }, soundSystem());
}

bool linuxSetNominalRate(AudioObjectID id, double rate) {
  return std::visit([&](const auto& system) { return system.setNominalRate(id, rate); }, soundSystem());
}
