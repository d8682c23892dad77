#!/usr/bin/env python3
"""Checks a dist folder laid out by tools/package.sh: exactly the files a user installs, the text
files identical to the sources, a SHA256SUMS that lists every other file with its right hash, and
the archive next to the folder holding the same bytes.

usage: package_check.py --dist DIR --source REPO
A dist folder without SHA256SUMS is reported as skipped (exit 77), unless KELPA_REQUIRE_PACKAGE=1
is set, as tools/test.sh does after tools/build.sh.
"""
import argparse
import hashlib
import os
import sys
import zipfile

DELIVERABLES = ["KELPA_BASE", "KELPA_LATTICE", "KELPA_COURIER", "KELPA_RIPTIDE", "KELPA_UNDERTOW",
                "KELPA_LADDER2"]
SKIPPED = 77


def expected_files():
    """Package path -> source path (None for built files)."""
    files = {f"{name}.dll": None for name in DELIVERABLES}
    files["kelpa-call.exe"] = None
    for name in DELIVERABLES:
        files[f"MQL4/Include/Kelpa/{name}.mqh"] = f"mql4/Include/Kelpa/{name}.mqh"
        files[f"MQL4/Experts/Kelpa/{name}_Sample.mq4"] = f"mql4/Experts/Kelpa/{name}_Sample.mq4"
    files["docs/guide.md"] = "docs/guide.md"
    return files


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dist", required=True)
    parser.add_argument("--source", required=True)
    options = parser.parse_args()
    dist, source = options.dist, options.source
    problems = []

    if not os.path.exists(os.path.join(dist, "SHA256SUMS")):
        if os.environ.get("KELPA_REQUIRE_PACKAGE") != "1":
            print(f"no package in {dist} (tools/build.sh lays it out): skipped")
            return SKIPPED
        problems.append("SHA256SUMS is missing")

    present = set()
    for folder, _, names in os.walk(dist):
        for name in names:
            present.add(os.path.relpath(os.path.join(folder, name), dist).replace(os.sep, "/"))
    wanted = expected_files()
    for name in sorted(set(wanted) - present):
        problems.append(f"missing: {name}")
    for name in sorted(present - set(wanted) - {"SHA256SUMS"}):
        problems.append(f"not part of the package: {name}")

    for name, origin in wanted.items():
        path = os.path.join(dist, name)
        if not os.path.exists(path):
            continue
        data = read(path)
        if origin is None and data[:2] != b"MZ":
            problems.append(f"{name} is not a Windows executable")
        if origin is not None and data != read(os.path.join(source, origin)):
            problems.append(f"{name} differs from {origin}")

    sums_path = os.path.join(dist, "SHA256SUMS")
    if os.path.exists(sums_path):
        listed = {}
        for line in read(sums_path).decode("ascii").splitlines():
            digest, _, name = line.partition("  ")
            listed[name] = digest
        if set(listed) != present - {"SHA256SUMS"}:
            problems.append(f"SHA256SUMS lists {sorted(listed)}, the folder holds {sorted(present - {'SHA256SUMS'})}")
        for name, digest in listed.items():
            path = os.path.join(dist, name)
            if os.path.exists(path) and hashlib.sha256(read(path)).hexdigest() != digest:
                problems.append(f"SHA256SUMS: wrong hash for {name}")

    version = read(os.path.join(source, "VERSION")).decode().strip()
    archive = os.path.join(os.path.dirname(os.path.abspath(dist)), f"kelpa-{version}.zip")
    if not os.path.exists(archive):
        problems.append(f"no archive {archive}")
    else:
        with zipfile.ZipFile(archive) as package:
            top = f"kelpa-{version}/"
            archived = {n[len(top):]: n for n in package.namelist() if n.startswith(top)}
            if len(archived) != len(package.namelist()) or set(archived) != present:
                problems.append(f"{archive} holds {sorted(package.namelist())}")
            for name, member in archived.items():
                path = os.path.join(dist, name)
                if os.path.exists(path) and package.read(member) != read(path):
                    problems.append(f"{archive}: {name} differs from the folder")

    for problem in problems:
        print(problem)
    print(f"package {dist}: {'ok' if not problems else f'{len(problems)} problems'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
