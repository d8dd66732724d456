#!/usr/bin/env python3
"""Joins the figures of one benchmark run into bench/results.json and prints each ratio beside
the figure it is held to."""
import json
import os
import sys

bench = sys.argv[1]


def load(name):
    path = os.path.join(bench, name)
    if not os.path.exists(path):
        return None
    with open(path) as f:
        return json.load(f)


report = load("report.json")
first_program = first_floor = None
idle = load("idle.json")
whole = load("whole_process.json")
comline = load("comline.json")
ratios = []

if report:
    warm = next(item for item in report["items"] if item["name"] == "build_report (warm)")
    ratios.append(("warm report build / raw floor", warm["program_us"] / warm["raw_us"], 1.15))
    first_program = load("first_program.json")
    first_floor = load("first_floor.json")
    if first_program and first_floor:
        # Each measured in a fresh process of its own, so both pay the same first-time costs.
        ratios.append(("first report build / raw floor (fresh processes)",
                       first_program["first_us"] / first_floor["first_us"], 1.25))
if whole and first_floor:
    # Report mode is one process that starts and builds a first report: held to the program's
    # own start plus the first build's floor.
    floor_ms = whole["process_start_ms"] + first_floor["first_us"] / 1000
    print(f"report mode, whole process: {whole['report_mode_ms']:.1f} ms; program start "
          f"{whole['process_start_ms']:.1f} ms + first build floor {first_floor['first_us'] / 1000:.1f} ms "
          f"= {floor_ms:.1f} ms")
    ratios.append(("report mode process / (start + first floor)", whole["report_mode_ms"] / floor_ms, 1.25))
if comline:
    for entry in comline.get("ratios", []):
        ratios.append((entry["name"], entry["ratio"], entry.get("target", 1.25)))
if idle:
    ratios.append(("idle memory / minimal window with COM and WMI", idle["idle_memory_ratio"], 1.1))

print(f"{'ratio':<52}{'measured':>10}{'target':>9}")
for name, value, target in ratios:
    verdict = "ok" if value <= target else "MISSED"
    print(f"{name:<52}{value:>10.3f}{target:>9.2f}  {verdict}")
if idle:
    t = idle["tovalen"]
    print(f"idle CPU ticks / wake-ups over {t['idle_seconds']} s: {t['idle_cpu_ticks']} / {t['idle_wakeups']}")

with open(os.path.join(bench, "results.json"), "w") as f:
    json.dump({"report": report, "idle": idle, "comline": comline, "report_mode": whole,
               "ratios": [{"name": n, "ratio": v, "target": t} for n, v, t in ratios]}, f, indent=2)
