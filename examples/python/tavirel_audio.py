"""A reader for tavirel-audio, standard library only.

    audio = TavirelAudio(["tavirel-audio", "run", "--device", "Desk", "--channels", "1,2"])
    for kind, item in audio.items():
        if kind == "frame":   # item: one list of 16 kHz samples per channel
            ...
        else:                 # kind == "event", item: the event as a dict
            ...
    audio.send_midi([144, 60, 127], "Lights")
    audio.quit()

Frames arrive on standard output, events on standard error; one thread reads
each stream and both feed one queue, so neither pipe can fill up while the
other is being waited for.
"""
import json
import queue
import struct
import subprocess
import threading

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


class TavirelAudio:
    def __init__(self, command, env=None):
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env)
        self._items = queue.Queue()
        self._open = 2
        threading.Thread(target=self._read_frames, daemon=True).start()
        threading.Thread(target=self._read_events, daemon=True).start()

    def _read_frames(self):
        while (frame := read_frame(self.process.stdout)) is not None:
            self._items.put(("frame", frame))
        self._items.put(("closed", None))

    def _read_events(self):
        for line in self.process.stderr:
            self._items.put(("event", json.loads(line)))
        self._items.put(("closed", None))

    def items(self):
        """Frames and events in the order they arrive, until both streams end."""
        while self._open > 0:
            kind, item = self._items.get()
            if kind == "closed":
                self._open -= 1
            else:
                yield kind, item

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
        """The exit code: 0 normal end, 2 usage, 3 device, 5 microphone access denied."""
        for _ in self.items():
            pass
        return self.process.wait()
