#!/usr/bin/python3
"""Validates every event line, list and check document that the process tests saw
tavirel-audio write against docs/schema/, with Debian's python3-jsonschema.

    check_protocol_lines.py <folder of recorded .jsonl files> <schema folder>
"""
import glob
import json
import os
import sys

import jsonschema


def load(schema_dir, name):
    with open(os.path.join(schema_dir, name), encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


def main(lines_dir, schema_dir):
    validators = {name: load(schema_dir, name + ".schema.json") for name in ("event", "list", "check")}
    seen = {name: 0 for name in validators}
    checked = set()  # many tests see the same lines: each text is validated once
    failures = []
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
