#include "midi/midi_sender.h"

#include <chrono>
#include <functional>
#include <thread>

#include "runtime/work_queue.h"

namespace {
using Task = std::function<void()>;

// At most this many messages wait for the MIDI thread, the one being sent
// included. While they are all taken the thread handing them over waits, so
// our memory stays bounded.
constexpr std::size_t maxWaitingMessages = 64;

// How long the MIDI thread may go without finishing a task before it counts
// as stuck (a MIDI service that never answers).
constexpr auto stuckAfter = std::chrono::seconds(2);

void serve(WorkQueue<Task>& tasks) {
  while (auto task = tasks.take()) {
    (*task)();
    tasks.done();
  }
}

// The thread starts with the first message. Never destroyed: it may run until the end.
WorkQueue<Task>& midiTasks() {
  static auto* tasks = [] {
    auto* queue = new WorkQueue<Task>(maxWaitingMessages);
    std::thread(serve, std::ref(*queue)).detach();
    return queue;
  }();
  return *tasks;
}

// Queues `task` for one message, waiting while the queue is full. False
// when the MIDI thread is stuck: the message is then refused, so that the
// reader still sees "quit" and the end of input. Once stuck, a full queue
// refuses at once until the thread gets through a task again.
bool queueMessage(Task&& task) {
  static bool stuck = false;  // the handing-over thread only
  auto& tasks = midiTasks();
  auto seen = tasks.finished();
  for (;;) {
    if (tasks.tryPush(std::move(task), 1) ||
        (!stuck && tasks.pushBy(std::move(task), 1, std::chrono::steady_clock::now() + stuckAfter))) {
      stuck = false;
      return true;
    }
    auto done = tasks.finished();
    if (done == seen) {
      stuck = !tasks.tryPush(std::move(task), 1);
      return !stuck;
    }
    seen = done;
  }
}
}  // namespace

bool handOverMidi(std::vector<std::uint8_t> message, std::string dest, MidiReport report) {
  return queueMessage([message = std::move(message), dest = std::move(dest), report]() mutable {
    report(sendMidi(std::move(message), dest));
  });
}

void endAfterHandedOverMidi(void (*end)()) {
  auto& tasks = midiTasks();
  tasks.push(end, 0);
  auto seen = tasks.finished();
  for (;;) {
    std::this_thread::sleep_for(stuckAfter);
    auto done = tasks.finished();
    if (done == seen) end();
    seen = done;
  }
}
