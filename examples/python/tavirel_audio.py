"""A reader for tavirel-audio, standard library only.

    audio = TavirelAudio(["tavirel-audio", "run", "--device", "Desk", "--channels", "1,2"])
    for kind, item in audio.items():
        if kind == "frame":     # item: one list of 16 kHz samples per channel
            ...
        elif kind == "event":   # item: the event as a dict
            ...
        elif kind == "text":    # item: a line on standard error that is not an event
            ...                 # (the dynamic loader's, when a library is missing)
        elif kind == "late":    # item: seconds the audio is behind the clock
            ...
    audio.send_midi([144, 60, 127], "Lights")
    audio.quit()
    print(audio.ending(audio.wait()))

Frames arrive on standard output, events on standard error; one thread reads
each stream and both feed one queue, so neither pipe can fill up while the
other is being waited for. Whatever a reader meets, it tells the queue that
its stream has ended, so items() always comes to its end.

The stream is a clock: sample n stands for n / 16000 s after "started". The
reader compares the samples received with a monotonic clock from "started"
on, and reports ("late", seconds) once the audio falls more than `late_after`
seconds behind, and again each time the lag has grown by that much.
"""
import json
import queue
import signal
import struct
import subprocess
import threading
import time

HEADER = struct.Struct("<4sBI")  # magic, channel count C, samples per channel N
MAGIC = b"TVA1"


def read_frame(stream):
    """One frame from a binary stream: a list of C lists of N samples, or None at the end."""
    header = stream.read(HEADER.size)
    if len(header) < HEADER.size:
        return None
    magic, channels, count = HEADER.unpack(header)
    if magic != MAGIC:
        raise ValueError(f"not a TVA1 frame: {header!r}")
    body = stream.read(2 * channels * count)
    if len(body) < 2 * channels * count:
        return None  # the process ended during the frame
    samples = struct.unpack(f"<{channels * count}h", body)
    return [list(samples[i * count:(i + 1) * count]) for i in range(channels)]


RATE = 16000


def parse_event(line):
    """The event a line of standard error holds, or None when it is not one."""
    try:
        event = json.loads(line)
    except ValueError:
        return None
    return event if isinstance(event, dict) and "event" in event else None


class TavirelAudio:
    def __init__(self, command, env=None, late_after=0.5):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env)
        self.late_after = late_after
        self._items = queue.Queue()
        self._open = 2
        self._started_at = None  # monotonic time of "started"
        self._samples = 0        # per channel, since "started"
        self._reported_lag = 0.0
        threading.Thread(target=self._read_frames, daemon=True).start()
        threading.Thread(target=self._read_events, daemon=True).start()

    def _read_frames(self):
        try:
            while (frame := read_frame(self.process.stdout)) is not None:
                self._items.put(("frame", frame))
        except (OSError, ValueError) as error:
            self._items.put(("text", f"standard output: {error}"))
        finally:
            self._items.put(("closed", None))

    def _read_events(self):
        try:
            for raw in self.process.stderr:
                line = raw.decode("utf-8", "replace").rstrip("\n")
                event = parse_event(line)
                self._items.put(("event", event) if event is not None else ("text", line))
        except OSError as error:
            self._items.put(("text", f"standard error: {error}"))
        finally:
            self._items.put(("closed", None))

    def _lateness(self, kind, item):
        """Seconds the audio is behind the clock, when that is worth a report."""
        if kind == "event" and item["event"] == "started":
            self._started_at = time.monotonic()
        if kind != "frame" or self._started_at is None or not item:
            return None
        self._samples += len(item[0])
        lag = time.monotonic() - self._started_at - self._samples / RATE
        if lag < self._reported_lag + self.late_after:
            return None
        self._reported_lag = lag
        return lag

    def items(self):
        """Frames, events, other text and lateness in the order they arrive,
        until both streams end."""
        while self._open > 0:
            kind, item = self._items.get()
            if kind == "closed":
                self._open -= 1
                continue
            yield kind, item
            lag = self._lateness(kind, item)
            if lag is not None:
                yield "late", lag

    def _send(self, command):
        try:
            self.process.stdin.write((json.dumps(command) + "\n").encode())
            self.process.stdin.flush()
        except BrokenPipeError:
            pass  # the process has ended; its events say why

    def send_midi(self, message, dest):
        self._send({"midi": list(message), "dest": dest})

    def quit(self):
        """Asks the process to end; MIDI sent before this still goes out."""
        self._send({"quit": True})

    def wait(self):
        """The exit code: 0 normal end, 2 usage, 3 device, 5 microphone access denied;
        minus the signal's number when a signal ended the process."""
        for _ in self.items():
            pass
        return self.process.wait()

    @staticmethod
    def ending(code):
        """How the process ended, in words, from what wait() gave."""
        if code < 0:
            try:
                name = signal.Signals(-code).name
            except ValueError:
                name = f"signal {-code}"
            return f"killed by {name}"
        return f"exit {code}"
