#include "midi/midi_sender.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace {
// At most this many MIDI tasks wait for the MIDI thread. While they are all
// taken the thread handing them over waits, so our memory stays bounded.
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

// True once a slot is taken. False when the MIDI thread is stuck: the
// message is then refused, so that the reader still sees "quit" and the end of input.
bool takeTaskSlot() {
  static bool stuck = false;  // the handing-over thread only
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
}  // namespace

bool handOverMidi(std::vector<std::uint8_t> message, std::string dest, MidiReport report) {
  if (!takeTaskSlot()) return false;
  toMidiThread([message = std::move(message), dest = std::move(dest), report]() mutable {
    report(sendMidi(std::move(message), dest));
    midiTasksDone.fetch_add(1, std::memory_order_relaxed);
    freeTaskSlot();
  });
  return true;
}

void endAfterHandedOverMidi(void (*end)()) {
  toMidiThread(end);
  auto seen = midiTasksDone.load(std::memory_order_relaxed);
  for (;;) {
    std::this_thread::sleep_for(stuckAfter);
    auto done = midiTasksDone.load(std::memory_order_relaxed);
    if (done == seen) end();
    seen = done;
  }
}
