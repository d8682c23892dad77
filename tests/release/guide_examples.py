#!/usr/bin/env python3
"""Runs every kelpa-call example of the user guide and compares what it prints.

An example is a line "$ kelpa-call ..." inside a ```console block of the guide; the lines after it,
up to the next "$ " line or the end of the block, are what it must print (standard output and
standard error together). The examples run in the order of the guide, with the tool and the DLLs from
one folder: they may build on each other (a variable set in one example is read in a later one).
The guide's own variables live below the key "demo", which is removed before the first example.

Each start of a Windows program under the emulator takes seconds, so all examples run in one
kelpa-call --batch process, whose lines carry the words of each command as the shell splits them.
The examples that touch no variable and show the command-line handling itself (the usage errors
and LATTICE1) are also run on their own, as a user types them.

usage: guide_examples.py --guide GUIDE.md --tool kelpa-call.exe [--runner CMD ...]
"""
import argparse
import os
import re
import shlex
import subprocess
import sys

# The key below which the guide's examples keep their variables.
GUIDE_KEY = "demo"
# A usage error is reported with this exit code, and nothing is called.
EXIT_USAGE = 2


def examples(guide_text):
    """(line number, argument list, expected lines) for each example, in order."""
    found = []
    in_console = False
    current = None
    for number, line in enumerate(guide_text.splitlines(), 1):
        if line.startswith("```"):
            if current:
                found.append(current)
                current = None
            in_console = not in_console and line.strip() == "```console"
            continue
        if not in_console:
            continue
        if line.startswith("$ "):
            if current:
                found.append(current)
                current = None
            words = shlex.split(line[2:])
            if words and words[0] == "kelpa-call":
                current = (number, words[1:], [])
        elif current:
            current[2].append(line)
    return found


def run(runner, tool, arguments):
    done = subprocess.run(runner + [tool] + arguments, cwd=os.path.dirname(tool) or ".",
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    text = done.stdout.decode("latin-1").replace("\r\n", "\n")
    return done.returncode, text.rstrip("\n").split("\n") if text.strip() else []


def run_batch(runner, tool, commands):
    """The output and exit code of each command, run in one kelpa-call --batch process."""
    batch = os.path.join(os.path.dirname(tool) or ".", "guide-examples.batch")
    with open(batch, "w", encoding="latin-1", newline="\r\n") as f:
        for words in commands:
            f.write("\t".join(words) + "\n")
    try:
        _, lines = run(runner, tool, ["--batch", os.path.basename(batch)])
    finally:
        os.remove(batch)
    outcomes = {}
    current = None
    for line in lines:
        if line.startswith("--- call "):
            current = int(line[len("--- call "):])
            outcomes[current] = [None, []]
        elif line.startswith("--- exit ") and current is not None:
            outcomes[current][0] = int(line[len("--- exit "):])
            current = None
        elif current is not None:
            outcomes[current][1].append(line)
    return [tuple(outcomes.get(index + 1, (None, ["(no output)"]))) for index in range(len(commands))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--guide", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--runner", nargs=argparse.REMAINDER, default=[])
    options = parser.parse_args()

    with open(options.guide, encoding="utf-8") as guide:
        found = examples(guide.read())
    if not found:
        print(f"no kelpa-call examples in {options.guide}")
        return 1

    clean = ["KELPA_BASE.dll", "PeltoDeleteKey", GUIDE_KEY]
    outcomes = run_batch(options.runner, options.tool, [clean] + [arguments for _, arguments, _ in found] + [clean])
    checks = [(number, arguments, expected, outcome) for (number, arguments, expected), outcome in
              zip(found, outcomes[1:-1])]
    for number, arguments, expected in found:
        if any(line.startswith("usage: ") for line in expected) or arguments[1:2] == ["LATTICE1"]:
            checks.append((number, arguments, expected, run(options.runner, options.tool, arguments)))
    failures = 0
    for number, arguments, expected, (code, printed) in checks:
        wanted_code = EXIT_USAGE if any(re.match(r"^usage: ", line) for line in expected) else 0
        shown = "kelpa-call " + " ".join(shlex.quote(a) for a in arguments)
        if printed != expected or code != wanted_code:
            failures += 1
            print(f"FAILED {options.guide}:{number}: {shown}")
            print(f"  exit code {code}, wanted {wanted_code}")
            print("  printed:\n    " + "\n    ".join(printed))
            print("  the guide says:\n    " + "\n    ".join(expected))
        else:
            print(f"ok {options.guide}:{number}: {shown}")
    print(f"guide examples: {len(checks) - failures} passed, {failures} failed")
    # In the form tools/test.sh counts the Windows host's cases by.
    if failures:
        print(f"[  FAILED  ] {failures} tests, guide examples")
    else:
        print(f"[  PASSED  ] {len(checks)} tests.")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
