// The line check from a C++ parent: starts `tavirel-audio check` with the
// arguments given, reads its document from standard output (a pipe, so the
// program writes JSON, not its terminal table) and prints one line per
// channel, then the clock. Standard error is left to the terminal: on a
// failure its "error" event says why, and the exit code is passed on.
//
//   line_check tavirel-audio check --device Desk --seconds 3
//
// POSIX, the C++ standard library and nlohmann-json (Debian's nlohmann-json3-dev).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

extern char** environ;

namespace {
std::string level(const nlohmann::json& dbfs) {
  if (!dbfs.is_number()) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", dbfs.get<double>());
  return text;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: line_check <program> check --device <name> [--seconds S]\n");
    return 2;
  }
  int out[2];
  if (pipe(out) != 0) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  pid_t child = 0;
  int spawned = posix_spawnp(&child, argv[1], &actions, nullptr, argv + 1, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) return 1;

  std::string text;
  char buffer[65536];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;)
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return WIFEXITED(status) ? WEXITSTATUS(status) : 1;

  auto document = nlohmann::json::parse(text);
  std::printf("%s: %lld channels at %.0f Hz\n", document["device"]["name"].get<std::string>().c_str(),
              static_cast<long long>(document["deviceChannels"].get<std::int64_t>()), document["rate"].get<double>());
  std::printf(" ch  state       peak    rms\n");
  for (const auto& channel : document["channels"])
    std::printf("%3lld  %-9s%7s%7s\n", static_cast<long long>(channel["channel"].get<std::int64_t>()),
                channel["state"].get<std::string>().c_str(), level(channel["peakDbfs"]).c_str(),
                level(channel["rmsDbfs"]).c_str());
  const auto& clock = document["clock"];
  if (clock["ppm"].is_number())
    std::printf("clock: %+.1f ppm over %.1f s\n", clock["ppm"].get<double>(), clock["seconds"].get<double>());
  return 0;
}
