#pragma once
// Runs a piece of the program in a child process, to watch how it ends.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>

namespace testing_support {

struct Forked {
  int exitCode = -1;
  std::string out, err;
};

inline std::string drain(int fd) {
  std::string all;
  char buffer[65536];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) all.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return all;
}

inline Forked runForked(const std::function<void()>& body) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return {};
  pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    close(out[1]);
    close(err[1]);
    body();
    _exit(99);  // the body was expected to end the process itself
  }
  close(out[1]);
  close(err[1]);
  Forked result;
  std::thread errReader([&] { result.err = drain(err[0]); });
  result.out = drain(out[0]);
  errReader.join();
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

}  // namespace testing_support
