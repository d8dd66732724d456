#!/usr/bin/env python3
"""Reads llvm-cov's export of a pure_tests run and prints, file by file, the line, branch and
function coverage of the Windows-free sources. Fails (exit 1) when one of their functions is never
called or a file's branch coverage is below the floor the floors file records for it.

The Windows-free sources are the files the tovalen_pure library is compiled from (taken from the
compile database, so a file a subsystem adds joins by itself) and every project header the
coverage data names. A file the floors file does not list has no floor yet; its functions are
still checked."""

import argparse
import json
import os
import subprocess
import sys

PURE_OBJECT_FOLDER = "/CMakeFiles/tovalen_pure.dir/"
PROJECT_FOLDERS = ("src/", "packaging/")


def read_floors(path):
    """Floors per file and the functions excused from being called, each with its reason."""
    floors, excused = {}, {}
    with open(path, encoding="utf-8") as floors_file:
        for number, line in enumerate(floors_file, 1):
            words = line.split("#", 1)[0].split()
            if not words:
                continue
            if words[0] == "uncalled" and len(words) >= 4 and "--" in words:
                excused[(words[1], words[2])] = " ".join(words[words.index("--") + 1:])
            elif len(words) == 2 and words[1].isdigit():
                floors[words[0]] = int(words[1])
            else:
                sys.exit(f"{path}:{number}: neither '<file> <floor>' nor 'uncalled <file> <function> -- <reason>'")
    return floors, excused


def pure_library_sources(compile_commands, root):
    with open(compile_commands, encoding="utf-8") as commands:
        entries = json.load(commands)
    return {os.path.relpath(entry["file"], root) for entry in entries
            if PURE_OBJECT_FOLDER in entry.get("output", entry.get("command", ""))}


def demangled(names):
    if not names:
        return []
    answer = subprocess.run(["llvm-cxxfilt-14"], input="\n".join(names), capture_output=True, text=True, check=True)
    return answer.stdout.splitlines()


def percent(summary):
    return 100.0 * summary["covered"] / summary["count"] if summary["count"] else 100.0


def main():
    parser = argparse.ArgumentParser()
    for option in ("--root", "--compile-commands", "--coverage", "--floors"):
        parser.add_argument(option, required=True)
    arguments = parser.parse_args()
    root = os.path.realpath(arguments.root)
    floors, excused = read_floors(arguments.floors)
    sources = pure_library_sources(arguments.compile_commands, root)
    with open(arguments.coverage, encoding="utf-8") as coverage_file:
        data = json.load(coverage_file)["data"][0]

    def project_file(path):
        relative = os.path.relpath(os.path.realpath(path), root)
        return relative if relative in sources or relative.startswith(PROJECT_FOLDERS) else None

    files = {}
    for entry in data["files"]:
        relative = project_file(entry["filename"])
        if relative is not None:
            files[relative] = entry["summary"]

    uncalled = []
    for function in data["functions"]:
        relative = project_file(function["filenames"][0])
        if relative is not None and function["count"] == 0:
            uncalled.append((relative, function["name"]))
    names = demangled([name for _, name in uncalled])
    uncalled = [(relative, name) for (relative, _), name in zip(uncalled, names)]

    failures = []
    print(f"{'Windows-free source':48} {'lines':>8} {'branches':>9} {'functions':>10} {'floor':>6}")
    for relative in sorted(sources | set(files)):
        summary = files.get(relative)
        if summary is None:
            print(f"{relative:48} {'-':>8} {'-':>9} {'-':>10}")
            failures.append(f"{relative}: no function of it is ever called (not even linked into pure_tests)")
            continue
        branches = percent(summary["branches"])
        floor = floors.get(relative)
        print(f"{relative:48} {percent(summary['lines']):7.1f}% {branches:8.1f}% {percent(summary['functions']):9.1f}%"
              f" {'-' if floor is None else floor:>6}")
        if floor is not None and branches < floor:
            failures.append(f"{relative}: branch coverage {branches:.1f}% is below its floor of {floor}%")
    for relative in sorted(set(floors) - sources - set(files)):
        failures.append(f"{relative}: has a floor but is no Windows-free source any more; take its line away")

    for relative, name in uncalled:
        short_name = name.split("(", 1)[0]
        if (relative, short_name) not in excused:
            failures.append(f"{relative}: {name} is never called by pure_tests")
    for (relative, name), reason in sorted(excused.items()):
        print(f"not required to be called: {relative} {name} ({reason})")

    for failure in failures:
        print("coverage: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
