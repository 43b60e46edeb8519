#include "main/control_channel.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "main/control_line.h"
#include "main/events.h"
#include "main/line_splitter.h"
#include "main/process_end.h"
#include "midi/midi_output.h"
#include "platform/host.h"

namespace {
// MIDI tasks the main thread has finished, to tell a busy main thread from a stuck one.
std::atomic<std::uint64_t> midiTasksDone{0};

// At most this many MIDI tasks wait for the main thread. While they are all
// taken the reader reads no more, so a parent that writes faster than we send
// meets the ordinary back-pressure of its pipe, and our memory stays bounded.
constexpr int maxWaitingTasks = 64;
struct TaskSlots {
  std::mutex lock;
  std::condition_variable freed;
  int taken = 0;
};
TaskSlots& taskSlots() {
  static auto* slots = new TaskSlots;  // never destroyed: the main thread may free a slot until the end
  return *slots;
}

void freeTaskSlot() {
  auto& slots = taskSlots();
  {
    std::lock_guard guard(slots.lock);
    --slots.taken;
  }
  slots.freed.notify_one();
}

// How long the main thread may go without finishing a MIDI task before it
// counts as stuck (a MIDI service that never answers).
constexpr auto stuckAfter = std::chrono::seconds(2);

// True once a slot is taken. False when the main thread is stuck: the line's
// message is then refused, so that the reader still sees "quit" and the end of input.
bool takeTaskSlot() {
  static bool stuck = false;  // reader thread only
  auto& slots = taskSlots();
  std::unique_lock guard(slots.lock);
  auto seen = midiTasksDone.load(std::memory_order_relaxed);
  while (slots.taken >= maxWaitingTasks) {
    if (stuck || slots.freed.wait_for(guard, stuckAfter) == std::cv_status::timeout) {
      auto done = midiTasksDone.load(std::memory_order_relaxed);
      stuck = done == seen && slots.taken >= maxWaitingTasks;
      if (stuck) return false;
      seen = done;
    }
  }
  stuck = false;
  ++slots.taken;
  return true;
}

// Hands the line's MIDI message to the main thread; false when it asks to quit.
bool handle(std::string_view line) {
  auto command = parseControlLine(line);
  if (!command) return true;
  if (command->midi) {
    if (takeTaskSlot()) {
      host::onMain([bytes = std::move(*command->midi), dest = std::move(command->dest)] {
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
// on the main thread. Should the main thread stop getting through them (a MIDI
// service that never answers), the end comes from here after a while.
[[noreturn]] void endAfterHandedOverTasks() {
  host::onMain([] { process::end(0); });
  auto seen = midiTasksDone.load(std::memory_order_relaxed);
  for (;;) {
    std::this_thread::sleep_for(stuckAfter);
    auto done = midiTasksDone.load(std::memory_order_relaxed);
    if (done == seen) process::end(0);
    seen = done;
  }
}
}  // namespace

void controlChannelReader() {
  LineSplitter lines(maxControlLineBytes);
  std::vector<char> buffer(64 * 1024);
  bool quit = false;
  for (;;) {
    ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // end of input, or an input that cannot be read any more
    lines.feed({buffer.data(), static_cast<std::size_t>(got)}, [&quit](std::string_view line) {
      if (!quit) quit = !handle(line);
    });
    if (quit) endAfterHandedOverTasks();
  }
  if (auto last = lines.finish()) handle(*last);
  endAfterHandedOverTasks();
}
