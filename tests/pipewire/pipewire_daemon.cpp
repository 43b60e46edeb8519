#include "tests/pipewire/pipewire_daemon.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "tests/support/process_runner.h"

namespace pipewire_test {

std::string installed(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    auto candidate = folder + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

std::string missingPrograms() {
  std::string missing;
  for (const char* program : {"pipewire", "wireplumber", "dbus-run-session", "pw-cli", "pw-cat", "pw-loopback",
                              "pw-metadata"})
    if (installed(program).empty()) missing += std::string(missing.empty() ? "" : ", ") + program;
  return missing;
}

PrivateDaemon::PrivateDaemon() {
  std::string pattern = "/tmp/tavirel-pipewire-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return;
  directory_ = pattern;
  environment_ = {{"XDG_RUNTIME_DIR", directory_}, {"PIPEWIRE_RUNTIME_DIR", directory_},
                  {"PIPEWIRE_REMOTE", "pipewire-0"}};
  std::string log = directory_ + "/daemon.log";
  group_ = fork();
  if (group_ == 0) {
    setsid();  // a process group of its own, stopped as one
    for (const auto& [key, value] : environment_) setenv(key.c_str(), value.c_str(), 1);
    // What wireplumber remembers of streams and devices stays here too.
    setenv("XDG_STATE_HOME", (directory_ + "/state").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (directory_ + "/config").c_str(), 1);
    FILE* out = std::freopen(log.c_str(), "w", stdout);
    if (out != nullptr) dup2(fileno(out), STDERR_FILENO);
    // wireplumber gives up at once when pipewire is not listening yet.
    execlp("dbus-run-session", "dbus-run-session", "--", "sh", "-c",
           "pipewire & until [ -S \"$PIPEWIRE_RUNTIME_DIR/pipewire-0\" ]; do sleep 0.05; done; wireplumber & wait",
           nullptr);
    _exit(127);
  }
  if (group_ < 0) return;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!answering_ && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The session manager's metadata shows that it, too, is up: without it
    // nothing links streams to nodes.
    auto info = testing_support::runProcess(installed("pw-cli"), {"ls", "Metadata"}, environment_, "",
                                            std::chrono::milliseconds(2000));
    answering_ = info.exitCode == 0 && info.out.find("metadata.name = \"default\"") != std::string::npos;
  }
}

void PrivateDaemon::stall(bool stopped) const {
  if (group_ > 0) kill(-group_, stopped ? SIGSTOP : SIGCONT);
}

PrivateDaemon::~PrivateDaemon() {
  if (group_ > 0) {
    kill(-group_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (waitpid(group_, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(-group_, SIGKILL);
    waitpid(group_, nullptr, WNOHANG);
  }
  std::error_code ignored;
  if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
}

}  // namespace pipewire_test
