// A small reader for tavirel-audio: starts the program with the arguments
// given, reads frames from its standard output and events from its standard
// error, and after `seconds` of audio asks it to quit. Prints one line per
// event ("event {...}"), one per other line on standard error ("text ...",
// such as the dynamic loader's when a library is missing), a summary per
// channel (samples received and peak level) and how the program ended
// ("exit N", or "killed by signal N").
//
//   tva1_reader <seconds> tavirel-audio run --device Desk --channels 1,2
//
// Both streams are read from one thread with poll(), so neither pipe can fill
// up while the other is being waited for. POSIX and the C++ standard library only.
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {
struct Channel {
  std::uint64_t samples = 0;
  int peak = 0;
};

std::uint32_t littleEndian32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Takes every whole frame from the front of `stream`; false on a stream that is not TVA1.
bool takeFrames(std::string& stream, std::vector<Channel>& channels) {
  constexpr std::size_t header = 9;
  while (stream.size() >= header) {
    auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
    if (std::memcmp(bytes, "TVA1", 4) != 0) return false;
    std::size_t count = bytes[4], samples = littleEndian32(bytes + 5);
    std::size_t size = header + 2 * count * samples;
    if (stream.size() < size) return true;  // the rest of this frame is still on its way
    channels.resize(count);
    for (std::size_t c = 0; c < count; ++c) {
      const unsigned char* plane = bytes + header + 2 * c * samples;
      for (std::size_t i = 0; i < samples; ++i) {
        auto sample = static_cast<std::int16_t>(plane[2 * i] | plane[2 * i + 1] << 8);
        channels[c].peak = std::max(channels[c].peak, std::abs(static_cast<int>(sample)));
      }
      channels[c].samples += samples;
    }
    stream.erase(0, size);
  }
  return true;
}

// An event is one JSON object on a line; a real parent would parse it. Any
// other line (a library's complaint before main, say) is passed on as text.
void printErrorLine(const std::string& line) {
  bool event = line.size() >= 2 && line.front() == '{' && line.back() == '}';
  std::printf("%s %s\n", event ? "event" : "text", line.c_str());
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tva1_reader <seconds> <program> [arguments...]\n");
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);  // writing to a process that has ended must not end us
  double seconds = std::atof(argv[1]);
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  pid_t child;
  int spawned = posix_spawnp(&child, argv[2], &actions, nullptr, argv + 2, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    std::fprintf(stderr, "%s: %s\n", argv[2], std::strerror(spawned));
    return 1;
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);

  std::string frames, events;
  std::vector<Channel> channels;
  bool quitSent = false;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        continue;
      }
      (i == 0 ? frames : events).append(buffer, static_cast<std::size_t>(got));
    }
    if (!takeFrames(frames, channels)) {
      std::fprintf(stderr, "standard output is not a TVA1 stream\n");
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      return 1;
    }
    for (auto end = events.find('\n'); end != std::string::npos; end = events.find('\n')) {
      printErrorLine(events.substr(0, end));
      events.erase(0, end + 1);
    }
    if (!quitSent && !channels.empty() && static_cast<double>(channels[0].samples) >= seconds * 16000) {
      const char quit[] = "{\"quit\": true}\n";
      [[maybe_unused]] auto wrote = write(in[1], quit, sizeof quit - 1);
      quitSent = true;
    }
  }
  if (!events.empty()) printErrorLine(events);  // a last line cut short
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  for (std::size_t c = 0; c < channels.size(); ++c)
    std::printf("channel %zu: %llu samples, peak %d\n", c + 1, static_cast<unsigned long long>(channels[c].samples),
                channels[c].peak);
  if (WIFSIGNALED(status))
    std::printf("killed by signal %d (%s)\n", WTERMSIG(status), strsignal(WTERMSIG(status)));
  else
    std::printf("exit %d\n", WEXITSTATUS(status));
  return 0;
}
