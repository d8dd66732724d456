#!/usr/bin/env python3
"""The files a release carries beside the program, each the same bytes on every build of a commit.

  release_files.py notices OUTPUT MAP...       third-party notices of what the link maps took in
  release_files.py sbom OUTPUT VERSION EPOCH MAP... -- NAME=FILE...
                                               CycloneDX 1.6 bill of materials of the shipped files
  release_files.py zip OUTPUT EPOCH FOLDER NAME=FILE...
                                               ZIP with sorted entries, fixed times and modes
  release_files.py msi-summary MSI EPOCH NAMESPACE SUBJECT AUTHOR TEMPLATE MSIBUILD FILE...
                                               package code from the contents, save times fixed

Versions and licence texts come from Debian's package database on the building machine, so
they always describe what the link actually used.
"""
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import uuid
import zipfile
from dataclasses import dataclass
from datetime import datetime, timezone
from urllib.parse import quote


@dataclass(frozen=True)
class Component:
    name: str
    package: str  # the Debian package whose files the link takes in
    licence: str  # SPDX licence expression
    linked: str  # what of the package's linked files is this component: "archive.a(member.o)", "file.o"
    header_only_in: tuple = ()  # binaries that compile it in from headers, seen by no link map


COMPONENTS = (
    Component("JSON for Modern C++", "nlohmann-json3-dev", "MIT", r"$^", ("tovalen.exe",)),
    Component("MinGW-w64 runtime", "mingw-w64-x86-64-dev", "ZPL-2.1", r"^(?!.*winpthread)"),
    # libpthread.a is a copy of libwinpthread.a; its members keep the library's name.
    Component("winpthreads", "mingw-w64-x86-64-dev", "MIT AND BSD-3-Clause", r"winpthread"),
    Component("libgcc", "gcc-mingw-w64-x86-64-posix", "GPL-3.0-or-later WITH GCC-exception-3.1", r"."),
    Component("libstdc++", "g++-mingw-w64-x86-64-posix", "GPL-3.0-or-later WITH GCC-exception-3.1", r"."),
)

GCC_EXCEPTION_NOTE = """\
libgcc and libstdc++ are GCC's runtime libraries, under the GNU General Public License 3 or later
with the GCC Runtime Library Exception 3.1. The exception lets a program compiled with GCC carry
them under the program's own licence and asks for no notice in it; their copyright text is given
below all the same."""


def fail(message):
    sys.exit(f"release_files.py: {message}")


def dpkg_field(package, field):
    result = subprocess.run(["dpkg-query", "-W", f"-f=${{{field}}}", package], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout:
        fail(f"the Debian package {package} is not installed: {result.stderr.strip()}")
    return result.stdout


def owning_package(path):
    result = subprocess.run(["dpkg-query", "-S", os.path.realpath(path)], capture_output=True, text=True)
    if result.returncode != 0:
        return None
    return result.stdout.split(":", 1)[0].strip()


def linked_system_files(map_path):
    """What the link took in from outside the build: (file, archive member or None) pairs."""
    taken = set()
    with open(map_path, encoding="utf-8", errors="replace") as link_map:
        for line in link_map:
            member = re.match(r"^(/\S+\.a)\((\S+)\)$", line.rstrip())
            loaded = re.match(r"^LOAD (/\S+\.o)$", line.rstrip())
            if member:
                taken.add((os.path.realpath(member.group(1)), member.group(2)))
            elif loaded:
                taken.add((os.path.realpath(loaded.group(1)), None))
    return taken


def components_in(map_path, binary):
    """The components compiled into one binary; a linked file that none covers stops the build."""
    found = {c for c in COMPONENTS if binary in c.header_only_in}
    for path, member in sorted(linked_system_files(map_path), key=str):
        package = owning_package(path)
        linked = os.path.basename(path) + (f"({member})" if member else "")
        matching = [c for c in COMPONENTS if c.package == package and re.search(c.linked, linked)]
        if not matching:
            fail(f"{binary} links {path} (package {package}), which the third-party notices do not cover")
        found.update(matching)
    return found


def binaries_of(maps):
    # Each map lies beside its binary's name: tovalen.exe.map -> tovalen.exe.
    return {os.path.basename(m)[: -len(".map")]: m for m in maps}


def write_notices(output, maps):
    used = set()
    for binary, map_path in binaries_of(maps).items():
        used |= components_in(map_path, binary)
    lines = ["Third-party software in Tovalen", "",
             "The program and the installer's helper are linked statically with the software below. Each",
             "section names the Debian package and version it was built from, and gives that package's",
             "copyright and licence text as Debian ships it.", "", GCC_EXCEPTION_NOTE, ""]
    # Packages of one source share one copyright text: it is given once for all of them.
    by_text = {}
    for package in sorted({c.package for c in used}):
        with open(f"/usr/share/doc/{package}/copyright", encoding="utf-8") as text:
            by_text.setdefault(text.read().rstrip("\n"), []).append(package)
    for text, packages in sorted(by_text.items(), key=lambda entry: entry[1]):
        section = [c for c in used if c.package in packages]
        lines += ["=" * 78, "Components: " + ", ".join(sorted(c.name for c in section))]
        lines += [f"Debian package: {package} {dpkg_field(package, 'Version')}" for package in packages]
        lines += ["Licence: " + "; ".join(sorted({c.licence for c in section})), "-" * 78, text, ""]
    write_if_changed(output, "\n".join(lines) + "\n")


def sha256_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def package_url(package):
    version = quote(dpkg_field(package, "Version"), safe="")
    arch = dpkg_field(package, "Architecture")
    return f"pkg:deb/debian/{package}@{version}?arch={arch}"


def shipped_file(name, path):
    kind = {".exe": "application", ".dll": "library"}.get(os.path.splitext(name)[1], "file")
    return {"type": kind, "bom-ref": f"file:{name}", "name": name,
            "hashes": [{"alg": "SHA-256", "content": sha256_of(path)}]}


def write_sbom(output, version, epoch, maps, files):
    binaries = binaries_of(maps)
    compiled_in = {binary: components_in(m, binary) for binary, m in binaries.items()}
    used = sorted(set().union(*compiled_in.values()), key=lambda c: c.name)
    libraries = [{"type": "library", "bom-ref": f"deb:{c.package}:{c.name}", "name": c.name,
                  "version": dpkg_field(c.package, "Version"), "licenses": [{"expression": c.licence}],
                  "purl": package_url(c.package)} for c in used]
    shipped = [shipped_file(name, path) for name, path in sorted(files.items())]
    dependencies = [{"ref": f"file:{binary}",
                     "dependsOn": sorted(f"deb:{c.package}:{c.name}" for c in compiled_in[binary])}
                    for binary in sorted(compiled_in)]
    content = json.dumps(shipped, sort_keys=True) + json.dumps(libraries, sort_keys=True)
    bom = {
        "$schema": "http://cyclonedx.org/schema/bom-1.6.schema.json",
        "bomFormat": "CycloneDX",
        "specVersion": "1.6",
        "serialNumber": f"urn:uuid:{uuid.uuid5(uuid.NAMESPACE_URL, 'tovalen-sbom:' + content)}",
        "version": 1,
        "metadata": {
            "timestamp": datetime.fromtimestamp(int(epoch), timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ"),
            "component": {"type": "application", "bom-ref": "tovalen", "name": "Tovalen", "version": version,
                          "licenses": [{"expression": "MIT"}]},
        },
        "components": shipped + libraries,
        "dependencies": [{"ref": "tovalen", "dependsOn": [f["bom-ref"] for f in shipped]}] + dependencies,
    }
    write_if_changed(output, json.dumps(bom, indent=2, sort_keys=True) + "\n")


def write_if_changed(output, text):
    if os.path.exists(output):
        with open(output, encoding="utf-8") as f:
            if f.read() == text:
                return
    with open(output, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def zip_time(epoch):
    # A ZIP's times are local times from 1980 on, with even seconds: the commit's time in UTC.
    moment = datetime.fromtimestamp(max(int(epoch), 315532800), timezone.utc)
    return (moment.year, moment.month, moment.day, moment.hour, moment.minute, moment.second - moment.second % 2)


def write_zip(output, epoch, folder, files):
    """Entries sorted, every folder named, modes fixed: neither the umask nor the user shows."""
    entries = {f"{folder}/{name}": path for name, path in files.items()}
    folders = {f"{folder}/"}
    for name in entries:
        parts = name.split("/")[:-1]
        folders.update("/".join(parts[: i + 1]) + "/" for i in range(len(parts)))
    temporary = output + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name in sorted(folders | set(entries)):
            info = zipfile.ZipInfo(name, zip_time(epoch))
            info.create_system = 3
            if name in folders:
                info.external_attr = (0o40755 << 16) | 0x10
                archive.writestr(info, b"")
                continue
            info.external_attr = (0o100755 if name.endswith(".exe") else 0o100644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(entries[name], "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)
    os.replace(temporary, output)


FILETIME_OF_1970 = 116444736000000000
VT_FILETIME = 64
SUMMARY_TIMES = (11, 12, 13)  # last printed, created, last saved


def fixed_summary_times(stream, epoch):
    """The summary stream with its times set to the commit's; a property set of one section."""
    data = bytearray(stream)
    section = struct.unpack_from("<I", data, 44)[0]
    count = struct.unpack_from("<I", data, section + 4)[0]
    for index in range(count):
        pid, offset = struct.unpack_from("<II", data, section + 8 + 8 * index)
        if pid in SUMMARY_TIMES and struct.unpack_from("<I", data, section + offset)[0] == VT_FILETIME:
            struct.pack_into("<Q", data, section + offset + 4, FILETIME_OF_1970 + int(epoch) * 10000000)
    return bytes(data)


def fix_msi_summary(msi, epoch, namespace, subject, author, template, msibuild, inputs):
    import olefile  # Debian's python3-olefile, only for the package

    digest = hashlib.sha256()
    for path in inputs:
        digest.update(os.path.basename(path).encode() + b"\0" + open(path, "rb").read())
    # Windows Installer takes two packages with one code for the same one: the code follows the contents.
    package_code = str(uuid.uuid5(uuid.UUID(namespace), "Package " + digest.hexdigest())).upper()
    subprocess.run([msibuild, msi, "-s", subject, author, template, "{" + package_code + "}"], check=True)
    with olefile.OleFileIO(msi, write_mode=True) as package:
        name = "\x05SummaryInformation"
        package.write_stream(name, fixed_summary_times(package.openstream(name).read(), epoch))


def named_files(arguments):
    return dict(argument.split("=", 1) for argument in arguments)


def main(argv):
    if len(argv) < 2:
        fail(__doc__)
    command, rest = argv[1], argv[2:]
    if command == "notices":
        write_notices(rest[0], rest[1:])
    elif command == "sbom":
        separator = rest.index("--")
        write_sbom(rest[0], rest[1], rest[2], rest[3:separator], named_files(rest[separator + 1:]))
    elif command == "zip":
        write_zip(rest[0], rest[1], rest[2], named_files(rest[3:]))
    elif command == "msi-summary":
        fix_msi_summary(*rest[:7], rest[7:])
    else:
        fail(f"unknown command {command}\n{__doc__}")


if __name__ == "__main__":
    main(sys.argv)
