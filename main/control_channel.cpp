#include "main/control_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "main/control_line.h"
#include "main/events.h"
#include "main/line_splitter.h"
#include "main/midi_report.h"
#include "midi/midi_sender.h"
#include "runtime/process_end.h"

namespace {
// The end of the channel, which MIDI messages handed over before it still precede.
void endNow() { process::end(0); }

// Hands the line's MIDI message to the MIDI thread; false when it asks to quit.
bool handle(std::string_view line) {
  auto command = parseControlLine(line);
  if (!command) return true;
  if (command->midi && !handOverMidi(std::move(*command->midi), std::move(command->dest), reportMidiOutcome))
    reportMidiError("MIDI service not responding; message not sent");
  return !command->quit;
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
    if (endAsked && (polled == 0 || readAfterEndAsked >= maxBytesAfterEndAsked)) endAfterHandedOverMidi(endNow);
    ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) break;  // end of input, or an input that cannot be read any more
    if (endAsked) readAfterEndAsked += static_cast<std::size_t>(got);
    lines.feed({buffer.data(), static_cast<std::size_t>(got)}, onLine);
    if (quit) endAfterHandedOverMidi(endNow);
  }
  if (auto last = lines.finish()) handle(*last);
  endAfterHandedOverMidi(endNow);
}
