#!/usr/bin/python3
"""The network lines follow the adapter Windows routes through, inside a network namespace of
its own: a full-tunnel VPN (a point-to-point tun device whose default route has no next hop)
beside a wired adapter with a gateway. Each row sets the two default routes' metrics, runs the
program's report mode there and compares its lines with the kernel's own answer for the adapter
the lower metric names. Wine's services start inside the namespace, from a prefix of their own.

  default_route_test.py PROGRAM WORK_FOLDER      (as root: it makes the namespace and devices)
"""
import json
import os
import subprocess
import sys

NAMESPACE = f"tovalen-route-{os.getpid()}"
WIRED, PEER, TUNNEL = "lan0", "lan1", "vpn0"
WIRED_ADDRESS, TUNNEL_ADDRESS = "10.20.0.2", "10.99.0.2"

# name, the tunnel's route metric, the wired route's metric, the adapter that carries the report
ROWS = [
    ("full_tunnel", 5, 100, TUNNEL),
    ("tunnel_one_below", 99, 100, TUNNEL),
    ("tunnel_one_above", 101, 100, WIRED),
    ("split_tunnel", 200, 100, WIRED),
]


HOLD_TUNNEL = """
import fcntl, os, struct, sys
tunnel = os.open("/dev/net/tun", os.O_RDWR)
fcntl.ioctl(tunnel, 0x400454CA, struct.pack("16sH", sys.argv[1].encode(), 0x0001 | 0x1000))  # TUNSETIFF: tun, no header
print("open", flush=True)
sys.stdin.read()
"""


def inside(*command, **options):
    return subprocess.run(["ip", "netns", "exec", NAMESPACE, *command], check=True, **options)


def make_devices():
    inside("ip", "link", "set", "lo", "up")
    inside("ip", "link", "add", WIRED, "type", "veth", "peer", "name", PEER)
    for device in (WIRED, PEER):
        inside("ip", "link", "set", device, "up")
    inside("ip", "addr", "add", f"{WIRED_ADDRESS}/24", "dev", WIRED)
    # A tun device has its carrier only while a process holds it open: a child that does until
    # its standard input closes.
    holder = subprocess.Popen(["ip", "netns", "exec", NAMESPACE, sys.executable, "-c", HOLD_TUNNEL, TUNNEL],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    if holder.stdout.readline() != b"open\n":
        raise RuntimeError("the tun device could not be opened")
    inside("ip", "link", "set", TUNNEL, "up")
    inside("ip", "addr", "add", f"{TUNNEL_ADDRESS}/32", "dev", TUNNEL)
    return holder


def set_default_routes(tunnel_metric, wired_metric):
    inside("ip", "route", "flush", "exact", "0.0.0.0/0")
    inside("ip", "route", "add", "default", "dev", TUNNEL, "metric", str(tunnel_metric))
    inside("ip", "route", "add", "default", "via", "10.20.0.1", "dev", WIRED, "metric", str(wired_metric))


def kernel_answer(device):
    """The address and hardware address the kernel gives the device, as the report writes them."""
    addresses = json.loads(inside("ip", "-j", "-4", "addr", "show", "dev", device, capture_output=True).stdout)
    link = json.loads(inside("ip", "-j", "link", "show", "dev", device, capture_output=True).stdout)[0]
    hardware = link.get("address", "") if link.get("link_type") == "ether" else ""
    return addresses[0]["addr_info"][0]["local"], hardware.upper().replace(":", "")


def main(program, work):
    if os.geteuid() != 0:
        print("skipped: a network namespace of its own takes root")
        return 77
    prefix = os.path.join(work, "prefix")
    out_folder = os.path.join(work, "out")
    os.makedirs(out_folder, exist_ok=True)
    os.chmod(work, 0o555)  # read-only to everyone: a folder the elevated report mode writes into
    os.chmod(out_folder, 0o555)
    wine = ["env", f"WINEPREFIX={prefix}", "WINEARCH=win64", "WINEDEBUG=-all", "DISPLAY=",
            "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d", "setarch", os.uname().machine, "-R"]
    report = os.path.join(out_folder, "report.json")
    failures = 0
    subprocess.run(["ip", "netns", "add", NAMESPACE], check=True)
    holder = None
    try:
        holder = make_devices()
        inside(*wine, "wineboot", "-i", capture_output=True)
        inside(*wine, "wineserver", "-p")
        for name, tunnel_metric, wired_metric, carrier in ROWS:
            set_default_routes(tunnel_metric, wired_metric)
            inside(*wine, "wine", program, "/json", "Z:" + report.replace("/", "\\"))
            with open(report, encoding="utf-8-sig") as file:
                lines = json.load(file)
            seen = (lines["ip_address"], lines["mac_address"].replace(":", "").replace("-", ""))
            expected = kernel_answer(carrier)
            verdict = "ok" if seen == expected else "FAILED"
            failures += verdict != "ok"
            print(f"{verdict}: {name}: expected {expected} of {carrier}, the report has {seen}")
    finally:
        subprocess.run(["ip", "netns", "exec", NAMESPACE, *wine, "wineserver", "-k"], check=False)
        if holder is not None:
            holder.stdin.close()
            holder.wait()
        subprocess.run(["ip", "netns", "del", NAMESPACE], check=False)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
