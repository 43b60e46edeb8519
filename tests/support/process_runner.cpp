#include "tests/support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

extern char** environ;

namespace testing_support {

std::vector<nlohmann::json> ProcessResult::events() const {
  std::vector<nlohmann::json> parsed;
  for (auto& line : err) {
    auto json = nlohmann::json::parse(line.text, nullptr, false);
    parsed.push_back(json.is_discarded() ? nlohmann::json(line.text) : json);
  }
  return parsed;
}

std::string builtProgram(const std::string& name) { return std::string(TAVIREL_BUILD_DIR) + "/" + name; }

RunningProcess::RunningProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::pair<std::string, std::string>>& env) {
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);

  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    bool replaced = false;
    for (auto& [key, value] : env) replaced = replaced || entry.rfind(key + "=", 0) == 0;
    if (!replaced) envStrings.push_back(entry);
  }
  for (auto& [key, value] : env) envStrings.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  auto base = program.substr(program.rfind('/') + 1);
  ourProgram_ = base == "tavirel-audio" || base == "tavirel-audio-sim";
  listing_ = args.empty() || args[0] == "list";
  checking_ = !args.empty() && args[0] == "check";

  start_ = std::chrono::steady_clock::now();
  int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
  collector_ = std::thread([this] { collect(); });
}

RunningProcess::~RunningProcess() {
  if (pid_ > 0) {
    bool running;
    {
      std::lock_guard guard(lock_);
      running = !exited_;
    }
    if (running) kill(pid_, SIGKILL);
  }
  if (collector_.joinable()) collector_.join();
  if (input_ >= 0) close(input_);
}

void RunningProcess::write(const std::string& text) {
  const char* next = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(input_, next, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // the process has stopped reading
    }
    next += n;
    left -= static_cast<std::size_t>(n);
  }
}

void RunningProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void RunningProcess::closeOutput() {
  std::lock_guard guard(lock_);
  outputOpen_ = false;  // the collector closes it
}

void RunningProcess::stallOutput() {
  std::lock_guard guard(lock_);
  outputStalled_ = true;
}

void RunningProcess::stallErrors() {
  std::lock_guard guard(lock_);
  errorsStalled_ = true;
}

void RunningProcess::resumeOutput() {
  std::lock_guard guard(lock_);
  outputStalled_ = false;
}

double RunningProcess::elapsedMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
}

void RunningProcess::collect() {
  bool outOpen = true, errOpen = true, torn = false;
  char buffer[65536];
  while (outOpen || errOpen) {
    bool readOut, readErr;
    {
      std::lock_guard guard(lock_);
      if (!outputOpen_ && outOpen) {
        close(output_);
        outOpen = false;
      }
      readOut = outOpen && (!outputStalled_ || !errOpen);
      readErr = errOpen && (!errorsStalled_ || !outOpen);
    }
    pollfd fds[2] = {{readOut ? output_ : -1, POLLIN, 0}, {readErr ? errors_ : -1, POLLIN, 0}};
    if (poll(fds, 2, 50) < 0 && errno != EINTR) break;
    if (readOut && (fds[0].revents & (POLLIN | POLLHUP))) {
      ssize_t n = read(output_, buffer, sizeof buffer);
      std::lock_guard guard(lock_);
      if (n <= 0) {
        close(output_);
        outOpen = false;
        outputOpen_ = false;
      } else {
        result_.out.append(buffer, static_cast<std::size_t>(n));
      }
      changed_.notify_all();
    }
    if (readErr && (fds[1].revents & (POLLIN | POLLHUP))) {
      ssize_t n = read(errors_, buffer, sizeof buffer);
      std::lock_guard guard(lock_);
      if (n <= 0) {
        close(errors_);
        errOpen = false;
        torn = !partialErr_.empty();
        if (torn) result_.err.push_back({partialErr_, elapsedMs()});
      } else {
        partialErr_.append(buffer, static_cast<std::size_t>(n));
        for (auto end = partialErr_.find('\n'); end != std::string::npos; end = partialErr_.find('\n')) {
          result_.err.push_back({partialErr_.substr(0, end), elapsedMs()});
          partialErr_.erase(0, end + 1);
        }
      }
      changed_.notify_all();
    }
  }
  int statusCode = 0;
  waitpid(pid_, &statusCode, 0);
  std::lock_guard guard(lock_);
  if (WIFEXITED(statusCode)) result_.exitCode = WEXITSTATUS(statusCode);
  if (WIFSIGNALED(statusCode)) result_.signal = WTERMSIG(statusCode);
  // A line cut short by our own kill is not the program's doing.
  record(torn && result_.signal == SIGKILL);
  exited_ = true;
  changed_.notify_all();
}

// Every event line, list and check document our program writes is kept, with the
// test that saw it, for the schema check that runs after the process tests
// (tests/protocol/check_protocol_lines.py): one file per test process.
void RunningProcess::record(bool tornLastLine) {
  if (!ourProgram_) return;
  auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test == nullptr ? "?" : std::string(test->test_suite_name()) + "." + test->name();
  std::string records;
  auto add = [&](const char* kind, const std::string& text) {
    try {
      records += nlohmann::json{{"test", name}, {"kind", kind}, {"text", text}}.dump() + "\n";
    } catch (const nlohmann::json::exception&) {  // not UTF-8: the check reports it
      records += nlohmann::json{{"test", name}, {"kind", "not-utf8"}, {"text", kind}}.dump() + "\n";
    }
  };
  std::size_t lines = result_.err.size() - (tornLastLine ? 1 : 0);
  for (std::size_t i = 0; i < lines; ++i) add("event", result_.err[i].text);
  if (listing_ && result_.exitCode == 0) add("list", result_.out);
  if (checking_ && result_.exitCode == 0) add("check", result_.out);
  std::string folder = std::string(TAVIREL_BUILD_DIR) + "/protocol-lines";
  mkdir(folder.c_str(), 0755);
  std::string path = folder + "/" + std::to_string(getpid()) + ".jsonl";
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  for (std::size_t done = 0; done < records.size();) {
    ssize_t n = ::write(fd, records.data() + done, records.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  close(fd);
}

bool RunningProcess::waitFor(const std::function<bool(const ProcessResult&)>& ready, Milliseconds limit) {
  std::unique_lock guard(lock_);
  return changed_.wait_for(guard, limit, [&] { return ready(result_) || exited_; }) && ready(result_);
}

ProcessResult RunningProcess::wait(Milliseconds limit) {
  std::unique_lock guard(lock_);
  if (!changed_.wait_for(guard, limit, [&] { return exited_; })) {
    result_.timedOut = true;
    kill(pid_, SIGKILL);
    changed_.wait(guard, [&] { return exited_; });
  }
  return result_;
}

ProcessResult RunningProcess::snapshot() {
  std::lock_guard guard(lock_);
  return result_;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env, const std::string& input,
                         Milliseconds limit) {
  RunningProcess process(program, args, env);
  process.write(input);
  process.closeInput();
  return process.wait(limit);
}

}  // namespace testing_support
