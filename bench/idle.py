#!/usr/bin/env python3
"""Start-up time to the tray icon, idle resident memory beside a minimal Win32 window program,
idle CPU and wake-ups, and the size of tovalen.exe. Runs the Windows programs through the build's
wine-run.sh; prints a table and writes idle.json next to the bench programs."""
import json
import os
import subprocess
import sys
import time

build = sys.argv[1]
bench = os.path.join(build, "bench")
wine_run = os.path.join(build, "wine-run.sh")
SETTLE_SECONDS = 4


def wine_processes(name):
    """Linux pids of the Wine processes running the named Windows program."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                command = f.read().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if name.lower() in command.lower() and "wine-run" not in command and "startup_probe" not in command:
            pids.append(int(entry))
    return pids


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_and_wakeups(pid):
    """CPU ticks used and context switches made so far by every thread of the process."""
    ticks = 0
    switches = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
            ticks += int(fields[11]) + int(fields[12])
        with open(f"/proc/{pid}/task/{task}/status") as f:
            for line in f:
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    switches += int(line.split()[1])
    return ticks, switches


def end(pids):
    for pid in pids:
        try:
            os.kill(pid, 9)
        except ProcessLookupError:
            pass


def wait_for(name, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        pids = wine_processes(name)
        if pids:
            return pids
        time.sleep(0.05)
    sys.exit(f"{name} did not start")


def measure_idle(name):
    pid = wait_for(name)[0]
    time.sleep(SETTLE_SECONDS)
    ticks_before, switches_before = cpu_and_wakeups(pid)
    time.sleep(SETTLE_SECONDS)
    ticks_after, switches_after = cpu_and_wakeups(pid)
    return {
        "resident_kib": resident_kib(pid),
        "idle_cpu_ticks": ticks_after - ticks_before,
        "idle_wakeups": switches_after - switches_before,
        "idle_seconds": SETTLE_SECONDS,
    }


def tovalen_figures():
    program = os.path.join(build, "tovalen.exe")
    windows_program = "Z:" + os.path.abspath(program).replace("/", "\\")
    probe = subprocess.run([wine_run, os.path.join(bench, "startup_probe.exe"), windows_program],
                           capture_output=True, text=True)
    startup_ms = float(probe.stdout.strip().splitlines()[-1])
    figures = measure_idle("tovalen.exe")
    end(wine_processes("tovalen.exe"))
    figures["startup_to_tray_ms"] = startup_ms
    figures["exe_bytes"] = os.path.getsize(program)
    return figures


def minimal_figures(arguments):
    process = subprocess.Popen([wine_run, os.path.join(bench, "minimal_window.exe")] + arguments,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    figures = measure_idle("minimal_window.exe")
    end(wine_processes("minimal_window.exe"))
    process.wait()
    return figures


results = {
    "tovalen": tovalen_figures(),
    "minimal_window": minimal_figures([]),
    "minimal_window_com_wmi": minimal_figures(["--com-wmi"]),
}
floor = results["minimal_window_com_wmi"]["resident_kib"]
results["idle_memory_ratio"] = results["tovalen"]["resident_kib"] / floor if floor else None

print(f"{'program':<28}{'resident KiB':>14}{'idle CPU ticks':>16}{'idle wake-ups':>15}")
for name in ("tovalen", "minimal_window", "minimal_window_com_wmi"):
    r = results[name]
    print(f"{name:<28}{r['resident_kib']:>14}{r['idle_cpu_ticks']:>16}{r['idle_wakeups']:>15}")
print(f"start-up to tray icon: {results['tovalen']['startup_to_tray_ms']:.1f} ms")
print(f"tovalen.exe size: {results['tovalen']['exe_bytes']} bytes")
print(f"idle memory / minimal window with COM and WMI: {results['idle_memory_ratio']:.3f}")
with open(os.path.join(bench, "idle.json"), "w") as f:
    json.dump(results, f, indent=2)
