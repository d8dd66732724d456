#!/usr/bin/env python3
"""The release's bill of materials and notices, checked against what is shipped and linked.

  check_release.py bom SBOM SCHEMA_DIR MSI ZIP MSIEXTRACT MSIINFO WORK
      valid CycloneDX 1.6 (the published schema, its references resolved from beside it), and
      every file in the MSI and the ZIP listed with the SHA-256 of its shipped bytes
  check_release.py notices NOTICES MAP...
      every library a link map took in comes from a Debian package the notices name
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import zipfile

import jsonschema


def validate(bom, schema_dir):
    store = {}
    for name in os.listdir(schema_dir):
        if name.endswith(".schema.json"):
            with open(os.path.join(schema_dir, name), encoding="utf-8") as f:
                schema = json.load(f)
            store[schema.get("$id", "")] = schema
            store["http://cyclonedx.org/schema/" + name] = schema
    schema = store["http://cyclonedx.org/schema/bom-1.6.schema.json"]
    resolver = jsonschema.RefResolver.from_schema(schema, store=store)
    errors = list(jsonschema.Draft7Validator(schema, resolver=resolver).iter_errors(bom))
    assert not errors, "\n".join(f"{list(e.absolute_path)}: {e.message}" for e in errors)


def shipped_files(msi, archive, msiextract, msiinfo, work):
    """Each shipped file by its name, as its bytes are in the packages."""
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    files = {os.path.basename(msi): open(msi, "rb").read()}
    subprocess.run([msiextract, "-C", work, msi], check=True, capture_output=True)
    for folder, _, names in os.walk(work):
        files.update({name: open(os.path.join(folder, name), "rb").read() for name in names})
    # The helper and the icon are streams of the package's own tables, not installed files.
    for stream, name in (("Binary.StopProgram", "tovalen_stop.dll"), ("Icon.tovalen.ico", "tovalen.ico")):
        files[name] = subprocess.run([msiinfo, "extract", msi, stream], check=True, capture_output=True).stdout
    with zipfile.ZipFile(archive) as packed:
        for entry in packed.infolist():
            name = entry.filename.split("/", 1)[1]
            if not entry.is_dir() and not name.endswith(".cdx.json"):
                assert files.setdefault(name, packed.read(entry)) == packed.read(entry), f"{name} differs"
    shutil.rmtree(work)
    return files


def check_bom(sbom, schema_dir, msi, archive, msiextract, msiinfo, work):
    with open(sbom, encoding="utf-8") as f:
        bom = json.load(f)
    validate(bom, schema_dir)
    listed = {c["name"]: c["hashes"][0]["content"] for c in bom["components"] if "hashes" in c}
    shipped = {os.path.basename(name): hashlib.sha256(data).hexdigest()
               for name, data in shipped_files(msi, archive, msiextract, msiinfo, work).items()}
    listed = {os.path.basename(name): digest for name, digest in listed.items()}
    assert listed == shipped, f"listed {sorted(listed.items())}\nshipped {sorted(shipped.items())}"
    libraries = [c for c in bom["components"] if c["type"] == "library" and "purl" in c]
    assert libraries and all(c["purl"].startswith("pkg:deb/debian/") for c in libraries), libraries
    print(f"{sbom}: valid, {len(listed)} files, {len(libraries)} libraries")


def check_notices(notices, maps):
    with open(notices, encoding="utf-8") as f:
        covered = set(re.findall(r"^Debian package: (\S+) ", f.read(), re.MULTILINE))
    linked = set()
    for map_path in maps:
        with open(map_path, encoding="utf-8", errors="replace") as link_map:
            text = link_map.read()
        # Archive members taken in, and objects loaded whole.
        taken = re.findall(r"^(/\S+\.a)\(", text, re.M) + re.findall(r"^LOAD (/\S+\.o)$", text, re.M)
        linked |= {os.path.realpath(path) for path in taken}
    packages = {}
    for path in linked:
        owner = subprocess.run(["dpkg-query", "-S", path], capture_output=True, text=True).stdout
        packages.setdefault(owner.split(":", 1)[0].strip() or "(no package)", []).append(path)
    uncovered = {package: paths for package, paths in packages.items() if package not in covered}
    assert linked and not uncovered, f"linked but not in the notices: {uncovered}"
    print(f"{notices}: covers {sorted(packages)}")


if __name__ == "__main__":
    if sys.argv[1] == "bom":
        check_bom(*sys.argv[2:9])
    else:
        check_notices(sys.argv[2], sys.argv[3:])
