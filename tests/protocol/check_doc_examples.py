#!/usr/bin/python3
"""Checks every fenced example of the given Markdown files, so that the
documents cannot drift from the program. Each fenced block must follow a
comment that says how it is checked:

  <!-- check: transcript scenario=FILE -->  a shell session: the lines starting
      with "$ " run in one bash, with `tavirel-audio` being the simulated build on
      the scenario FILE; the other lines are what it prints (standard error and
      standard output together), compared exactly.
  <!-- check: schema=NAME -->   each line (or, for "list" and "check", the whole block) is
      valid against docs/schema/NAME.schema.json.
  <!-- check: scenario -->       the simulated build accepts the block as a scenario.

    check_doc_examples.py <build folder> <source folder> <markdown>...
"""
import json
import os
import re
import subprocess
import sys
import tempfile

import jsonschema

FENCE = re.compile(r"^```")
CHECK = re.compile(r"^<!-- check: (.*) -->$")


def blocks(path):
    """(line number, directive or None, text) for every fenced block."""
    lines = open(path, encoding="utf-8").read().split("\n")
    found, i = [], 0
    while i < len(lines):
        if FENCE.match(lines[i]):
            start = i
            directive = None
            j = i - 1
            while j >= 0 and not lines[j].strip():
                j -= 1
            if j >= 0 and (m := CHECK.match(lines[j].strip())):
                directive = m.group(1)
            i += 1
            body = []
            while i < len(lines) and not FENCE.match(lines[i]):
                body.append(lines[i])
                i += 1
            found.append((start + 1, directive, "\n".join(body) + "\n"))
        i += 1
    return found


def options(directive):
    words = directive.split()
    return words[0].split("=")[0], dict(w.split("=", 1) for w in words if "=" in w)


def transcript(text, scenario, build, source):
    script, expected = ["exec 2>&1"], []
    for line in text.splitlines():
        if line.startswith("$ "):
            script.append(line[2:])
        else:
            expected.append(line)
    with tempfile.TemporaryDirectory() as work:
        bin_dir = os.path.join(work, "bin")
        os.mkdir(bin_dir)
        os.symlink(os.path.join(build, "tavirel-audio-sim"), os.path.join(bin_dir, "tavirel-audio"))
        os.symlink(os.path.join(build, "tva1"), os.path.join(bin_dir, "tva1"))
        env = dict(os.environ, PATH=bin_dir + ":" + os.environ["PATH"],
                   TAVIREL_SIM_SCENARIO=os.path.join(source, scenario))
        env.pop("TAVIREL_SIM_SUPPORT_LOG", None)
        run = subprocess.run(["bash", "-c", "\n".join(script)], cwd=work, env=env, capture_output=True,
                             timeout=60)
    got = run.stdout.decode("utf-8", "replace").splitlines()
    if got == expected:
        return None
    return "printed:\n  " + "\n  ".join(got) + "\nexpected:\n  " + "\n  ".join(expected)


def schema_check(text, name, source):
    with open(os.path.join(source, "docs", "schema", name + ".schema.json"), encoding="utf-8") as f:
        validator = jsonschema.Draft202012Validator(json.load(f))
    documents = [text] if name in ("list", "check") else [line for line in text.splitlines() if line.strip()]
    problems = []
    for document in documents:
        problems += [f"{document.strip()[:80]}: {e.message}" for e in validator.iter_errors(json.loads(document))]
    return "\n".join(problems) or None


def scenario_check(text, build, folder):
    # Beside the document, so that relative paths in it mean what they say there.
    with tempfile.NamedTemporaryFile("w", suffix=".json", dir=folder) as f:
        f.write(text)
        f.flush()
        run = subprocess.run([os.path.join(build, "tavirel-audio-sim"), "list"], capture_output=True, timeout=60,
                             env=dict(os.environ, TAVIREL_SIM_SCENARIO=f.name))
    return None if run.returncode == 0 else run.stderr.decode("utf-8", "replace")


def main(build, source, documents):
    failures, count = [], 0
    for document in documents:
        for line, directive, text in blocks(document):
            where = f"{os.path.relpath(document, source)}:{line}"
            if directive is None:
                failures.append(f"{where}: an example without a check comment")
                continue
            kind, opts = options(directive)
            if kind == "transcript":
                problem = transcript(text, opts["scenario"], build, source)
            elif kind == "schema":
                problem = schema_check(text, opts["schema"], source)
            elif kind == "scenario":
                problem = scenario_check(text, build, os.path.dirname(os.path.abspath(document)))
            else:
                problem = f"unknown check {directive!r}"
            count += 1
            if problem:
                failures.append(f"{where}: {problem}")
    for failure in failures:
        print(failure)
    print(f"checked {count} examples: {len(failures)} failures")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3:]))
