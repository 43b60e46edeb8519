#pragma once
// Starts a program with arguments, extra environment and a standard-input
// pipe, and collects its standard output, each standard-error line (with the
// time it arrived) and its exit code.
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testing_support {

using Milliseconds = std::chrono::milliseconds;

struct ErrLine {
  std::string text;
  double atMs;  // since the start of the process
};

struct ProcessResult {
  int exitCode = -1;     // -1 when ended by a signal or not ended
  int signal = 0;        // the signal that ended it, if any
  bool timedOut = false;  // killed because it outlived the time limit
  std::string out;
  std::vector<ErrLine> err;

  // Standard-error lines parsed as JSON; a line that is not JSON becomes a string.
  std::vector<nlohmann::json> events() const;
};

class RunningProcess {
 public:
  RunningProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::pair<std::string, std::string>>& env = {});
  ~RunningProcess();  // kills the process if it still runs
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  void write(const std::string& text);  // to its standard input
  void closeInput();
  void closeOutput();  // stop reading standard output: the reader has gone
  // Stop reading standard output and keep it open: a parent that stalls. Once
  // standard error ends (the process has gone) the rest is read after all.
  void stallOutput();
  // Stop reading standard error and keep it open: a parent that never reads
  // it. Once standard output ends (the process has gone) the rest is read.
  void stallErrors();
  void resumeOutput();  // read standard output again after a stall
  pid_t pid() const { return pid_; }

  // Waits until `ready` holds for what was collected, or the time runs out.
  bool waitFor(const std::function<bool(const ProcessResult&)>& ready, Milliseconds limit);
  // Waits for the end, killing the process after `limit`.
  ProcessResult wait(Milliseconds limit);
  ProcessResult snapshot();
  double elapsedMs() const;

 private:
  void collect();
  void record(bool tornLastLine);

  bool ourProgram_ = false;  // tavirel-audio or its simulated build: its output is recorded
  bool listing_ = false;     // standard output carries the list document
  bool checking_ = false;    // … or the check document

  pid_t pid_ = -1;
  int input_ = -1, output_ = -1, errors_ = -1;
  std::chrono::steady_clock::time_point start_;
  std::mutex lock_;
  std::condition_variable changed_;
  ProcessResult result_;
  std::string partialErr_;
  bool outputOpen_ = true, outputStalled_ = false, errorsStalled_ = false, exited_ = false;
  std::thread collector_;
};

// Runs to the end with `input` on standard input (closed afterwards).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         const std::string& input = "", Milliseconds limit = Milliseconds(20000));

// Paths of the built programs.
std::string builtProgram(const std::string& name);

}  // namespace testing_support
