#!/usr/bin/env python3
"""Runs tavirel-audio's line check on a console and prints one line per
channel, the channels that need the sound team first, then the clock.

    line_check.py [program] [device] [seconds]      (defaults: tavirel-audio, Desk, 3)

Exits with the program's exit code; on a failure prints its error message.
"""
import json
import subprocess
import sys

program = sys.argv[1] if len(sys.argv) > 1 else "tavirel-audio"
device = sys.argv[2] if len(sys.argv) > 2 else "Desk"
seconds = sys.argv[3] if len(sys.argv) > 3 else "3"

# Standard output is a pipe here, so the program writes its JSON document.
check = subprocess.run([program, "check", "--device", device, "--seconds", seconds],
                       stdin=subprocess.DEVNULL, capture_output=True, text=True)
if check.returncode != 0:
    errors = [json.loads(line) for line in check.stderr.splitlines() if line.startswith("{")]
    print(next((e["msg"] for e in errors if e.get("event") == "error"), "ended without a document"))
    sys.exit(check.returncode)

document = json.loads(check.stdout)
ATTENTION = {"zero": 0, "clipping": 1, "dc": 2, "floor": 3, "signal": 4}


def db(value):
    return "-" if value is None else f"{value:.1f}"


print(f"{document['device']['name']}: {document['deviceChannels']} channels at {document['rate']:.0f} Hz")
print(f"{'ch':>3}  {'state':<9}{'peak':>7}{'rms':>7}  full scale")
for channel in sorted(document["channels"], key=lambda c: (ATTENTION[c["state"]], c["channel"])):
    print(f"{channel['channel']:>3}  {channel['state']:<9}{db(channel['peakDbfs']):>7}{db(channel['rmsDbfs']):>7}"
          f"  {100 * channel['fullScaleShare']:.2f} %")
clock = document["clock"]
if clock["ppm"] is not None:
    print(f"clock: {clock['ppm']:+.1f} ppm ({clock['ppm'] * 3600e-6:+.2f} s an hour); "
          f"gaps: {document['gaps']['count']}")
