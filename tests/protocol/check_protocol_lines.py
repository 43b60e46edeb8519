#!/usr/bin/python3
"""Validates every event line, list and check document that the process tests saw
tavirel-audio write against docs/schema/, with Debian's python3-jsonschema.
The published schemas accept keys they do not name, since parents must ignore
them; our own lines are held to the keys named, so that an added key is
added to the schema and the protocol first.

    check_protocol_lines.py <folder of recorded .jsonl files> <schema folder>
"""
import glob
import json
import os
import sys

import jsonschema


def closed(schema):
    """The schema with no keys but those each object names."""
    if isinstance(schema, dict):
        schema = {key: closed(value) for key, value in schema.items()}
        if "properties" in schema and schema.get("type") == "object":
            schema["unevaluatedProperties"] = False
        return schema
    if isinstance(schema, list):
        return [closed(item) for item in schema]
    return schema


def load(schema_dir, name):
    with open(os.path.join(schema_dir, name), encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema), jsonschema.Draft202012Validator(closed(schema))


def published_schemas_take_unknown_keys(published):
    """What a parent that validates sees: a later key passes, a broken line does not."""
    problems = []
    cases = [
        ("event", {"event": "error", "msg": "x", "since": 2}, True),
        ("event", {"event": "started", "device": "D", "rate": 48000.0, "deviceChannels": 2, "channels": [1],
                   "latency": 0.01}, True),
        ("event", {"event": "error"}, False),
        ("event", {"event": "started", "device": "D", "rate": "fast", "deviceChannels": 2, "channels": [1]}, False),
        ("list", {"inputs": [{"name": "D", "uid": "d", "channels": 2, "rate": 48000.0, "rates": [48000.0],
                              "transport": "usb"}], "midi": [], "version": 2}, True),
        ("list", {"inputs": [{"name": "D", "uid": "d", "channels": 0, "rate": 48000.0, "rates": []}], "midi": []},
         False),
    ]
    for kind, value, valid in cases:
        if published[kind].is_valid(value) != valid:
            problems.append(f"the published {kind} schema {'refuses' if valid else 'accepts'} {json.dumps(value)}")
    return problems


def main(lines_dir, schema_dir):
    loaded = {name: load(schema_dir, name + ".schema.json") for name in ("event", "list", "check")}
    validators = {kind: pair[1] for kind, pair in loaded.items()}
    seen = {name: 0 for name in validators}
    checked = set()  # many tests see the same lines: each text is validated once
    failures = published_schemas_take_unknown_keys({kind: pair[0] for kind, pair in loaded.items()})
    for path in sorted(glob.glob(os.path.join(lines_dir, "*.jsonl"))):
        with open(path, encoding="utf-8") as f:
            for record in map(json.loads, f):
                kind, test, text = record["kind"], record["test"], record["text"]
                if kind not in validators:
                    failures.append(f"{test}: a {text} that is not UTF-8")
                    continue
                seen[kind] += 1
                if (kind, text) in checked:
                    continue
                checked.add((kind, text))
                if kind == "event" and ("\n" in text or text != text.strip()):
                    failures.append(f"{test}: not one compact line: {text!r}")
                try:
                    value = json.loads(text)
                except ValueError as e:
                    failures.append(f"{test}: not JSON ({e}): {text[:200]!r}")
                    continue
                if kind != "event" and not text.endswith("}\n"):
                    failures.append(f"{test}: the {kind} document does not end in one line feed")
                for error in validators[kind].iter_errors(value):
                    where = "/".join(map(str, error.absolute_path)) or "top"
                    failures.append(f"{test}: {kind} at {where}: {error.message}: {text[:200]!r}")
    for failure in failures:
        print(failure)
    print(f"checked {seen['event']} event lines, {seen['list']} list and {seen['check']} check documents: "
          f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
