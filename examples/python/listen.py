#!/usr/bin/env python3
"""Starts tavirel-audio, reads one second of two channels, sends one MIDI note
to the Lights destination and quits; prints what it saw as one JSON object.

    listen.py [program] [device]      (defaults: tavirel-audio, Desk)
"""
import json
import math
import sys

from tavirel_audio import TavirelAudio

program = sys.argv[1] if len(sys.argv) > 1 else "tavirel-audio"
device = sys.argv[2] if len(sys.argv) > 2 else "Desk"
audio = TavirelAudio([program, "run", "--device", device, "--channels", "1,2"])

samples = [[], []]
events = []
texts = []
late = 0.0
quitting = False
for kind, item in audio.items():
    if kind == "event":
        events.append(item)
        if item["event"] == "started":
            audio.send_midi([144, 60, 127], "Lights")
    elif kind == "frame":
        for channel, block in zip(samples, item):
            channel.extend(block)
    elif kind == "text":
        texts.append(item)
    elif kind == "late":
        late = item
    sent = any(e["event"] in ("midi-sent", "midi-error") for e in events)
    if not quitting and sent and len(samples[0]) >= 16000:
        audio.quit()
        quitting = True

code = audio.wait()
summary = {
    "exit": code,
    "ending": audio.ending(code),
    "texts": texts,
    "late": round(late, 3),
    "events": events,
    "samples": [len(channel) for channel in samples],
    "rms": [round(math.sqrt(sum(s * s for s in channel) / max(len(channel), 1)), 1) for channel in samples],
}
print(json.dumps(summary))
