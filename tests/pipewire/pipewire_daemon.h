#pragma once
// A private PipeWire daemon for tests: pipewire and wireplumber under their
// own D-Bus session, with runtime, state and configuration directories of
// their own, so that no other program on the machine sees them, they see
// nothing else, and nothing of them outlives the test.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace pipewire_test {

using Environment = std::vector<std::pair<std::string, std::string>>;

// The path of `program` on PATH, or "" when it is not installed.
std::string installed(const std::string& program);

// What is missing to run a daemon ("" when nothing is).
std::string missingPrograms();

class PrivateDaemon {
 public:
  PrivateDaemon();
  ~PrivateDaemon();  // stops the daemon and removes its directory
  PrivateDaemon(const PrivateDaemon&) = delete;
  PrivateDaemon& operator=(const PrivateDaemon&) = delete;

  // Whether the daemon and its session manager answered within a few
  // seconds of starting.
  bool answering() const { return answering_; }
  // Stops the daemon and its session manager (SIGSTOP), as a machine under
  // load would, or lets them go on (SIGCONT).
  void stall(bool stopped) const;
  // What a program needs in its environment to reach this daemon.
  const Environment& environment() const { return environment_; }

 private:
  std::string directory_;
  pid_t group_ = -1;
  bool answering_ = false;
  Environment environment_;
};

}  // namespace pipewire_test
