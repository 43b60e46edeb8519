#include "main/control_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "main/control_line.h"
#include "main/events.h"
#include "main/line_splitter.h"
#include "process/process_end.h"
#include "midi/midi_output.h"

namespace {
// MIDI sends run on a thread of their own, in the order of their lines: a
// MIDI service that does not answer then holds up only the sends, never the
// main thread and its watchdog.
//
// At most this many MIDI tasks wait for that thread. While they are all
// taken the reader reads no more, so a parent that writes faster than we send
// meets the ordinary back-pressure of its pipe, and our memory stays bounded.
constexpr int maxWaitingTasks = 64;
struct MidiTasks {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::function<void()>> waiting;
  int taken = 0;  // slots of messages waiting or being sent
  bool serving = false;
};
MidiTasks& midiTasks() {
  static auto* tasks = new MidiTasks;  // never destroyed: the MIDI thread may run until the end
  return *tasks;
}

// MIDI tasks finished, to tell a busy MIDI thread from a stuck one.
std::atomic<std::uint64_t> midiTasksDone{0};

void serveMidiTasks() {
  auto& tasks = midiTasks();
  std::unique_lock guard(tasks.lock);
  for (;;) {
    tasks.changed.wait(guard, [&tasks] { return !tasks.waiting.empty(); });
    auto task = std::move(tasks.waiting.front());
    tasks.waiting.pop_front();
    guard.unlock();
    task();
    guard.lock();
  }
}

void toMidiThread(std::function<void()> task) {
  auto& tasks = midiTasks();
  {
    std::lock_guard guard(tasks.lock);
    tasks.waiting.push_back(std::move(task));
    if (!tasks.serving) {
      tasks.serving = true;
      std::thread(serveMidiTasks).detach();
    }
  }
  tasks.changed.notify_all();
}

void freeTaskSlot() {
  auto& tasks = midiTasks();
  {
    std::lock_guard guard(tasks.lock);
    --tasks.taken;
  }
  tasks.changed.notify_all();
}

// How long the MIDI thread may go without finishing a task before it counts
// as stuck (a MIDI service that never answers).
constexpr auto stuckAfter = std::chrono::seconds(2);

// True once a slot is taken. False when the MIDI thread is stuck: the line's
// message is then refused, so that the reader still sees "quit" and the end of input.
bool takeTaskSlot() {
  static bool stuck = false;  // reader thread only
  auto& tasks = midiTasks();
  std::unique_lock guard(tasks.lock);
  auto seen = midiTasksDone.load(std::memory_order_relaxed);
  while (tasks.taken >= maxWaitingTasks) {
    if (stuck || !tasks.changed.wait_for(guard, stuckAfter, [&tasks] { return tasks.taken < maxWaitingTasks; })) {
      auto done = midiTasksDone.load(std::memory_order_relaxed);
      stuck = done == seen && tasks.taken >= maxWaitingTasks;
      if (stuck) return false;
      seen = done;
    }
  }
  stuck = false;
  ++tasks.taken;
  return true;
}

// Hands the line's MIDI message to the MIDI thread; false when it asks to quit.
bool handle(std::string_view line) {
  auto command = parseControlLine(line);
  if (!command) return true;
  if (command->midi) {
    if (takeTaskSlot()) {
      toMidiThread([bytes = std::move(*command->midi), dest = std::move(command->dest)] {
        sendMidi(bytes, dest);
        midiTasksDone.fetch_add(1, std::memory_order_relaxed);
        freeTaskSlot();
      });
    } else {
      reportMidiError("MIDI service not responding; message not sent");
    }
  }
  return !command->quit;
}

// MIDI messages handed over before the end still go out: the end follows them
// on the MIDI thread. Should that thread stop getting through them (a MIDI
// service that never answers), the end comes from here after a while.
[[noreturn]] void endAfterHandedOverTasks() {
  toMidiThread([] { process::end(0); });
  auto seen = midiTasksDone.load(std::memory_order_relaxed);
  for (;;) {
    std::this_thread::sleep_for(stuckAfter);
    auto done = midiTasksDone.load(std::memory_order_relaxed);
    if (done == seen) process::end(0);
    seen = done;
  }
}

// The end asked from outside the reader arrives on this pipe, so that the
// reader, waiting for input, sees it at once.
struct Wake {
  int read = -1, write = -1;
};
const Wake& wake() {
  static const Wake pipeEnds = [] {
    int ends[2];
    if (pipe(ends) != 0) return Wake{};  // macOS has no pipe2
    for (int end : ends) {
      fcntl(end, F_SETFD, FD_CLOEXEC);
      fcntl(end, F_SETFL, O_NONBLOCK);
    }
    return Wake{ends[0], ends[1]};
  }();
  return pipeEnds;
}

// Lines the parent wrote before the end was asked are read and handled, up
// to this much: a parent that never stops writing cannot hold the end up.
constexpr std::size_t maxBytesAfterEndAsked = 4 * maxControlLineBytes;
}  // namespace

void endControlChannelAsQuit() {
  char byte = 1;
  if (wake().write < 0 || write(wake().write, &byte, 1) < 0) process::end(0);
}

void controlChannelReader() {
  LineSplitter lines(maxControlLineBytes);
  std::vector<char> buffer(64 * 1024);
  bool quit = false;
  bool endAsked = false;
  std::size_t readAfterEndAsked = 0;
  auto onLine = [&quit](std::string_view line) {
    if (!quit) quit = !handle(line);
  };
  for (;;) {
    pollfd ready[2] = {{STDIN_FILENO, POLLIN, 0}, {wake().read, POLLIN, 0}};
    // Once the end is asked, only what has already arrived is read.
    int polled = poll(ready, endAsked ? 1 : 2, endAsked ? 0 : -1);
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) break;
    if (!endAsked && (ready[1].revents & POLLIN)) {
      endAsked = true;
      continue;
    }
    if (endAsked && (polled == 0 || readAfterEndAsked >= maxBytesAfterEndAsked)) endAfterHandedOverTasks();
    ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) break;  // end of input, or an input that cannot be read any more
    if (endAsked) readAfterEndAsked += static_cast<std::size_t>(got);
    lines.feed({buffer.data(), static_cast<std::size_t>(got)}, onLine);
    if (quit) endAfterHandedOverTasks();
  }
  if (auto last = lines.finish()) handle(*last);
  endAfterHandedOverTasks();
}
