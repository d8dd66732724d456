"""Decodes a JSON file with Python's own decoder, apart from the library the program writes it
with, for a Windows test that cannot run a host program and read its output directly: writes the
object's members to the second file as UTF-16LE "name NUL text NUL" pairs, in the file's order,
or "error NUL <why> NUL" when the file is not one JSON object of texts in strict UTF-8 without a
byte-order mark. The result appears whole (renamed into place) once it is done."""
import json
import os
import sys

source, target = sys.argv[1], sys.argv[2]
try:
    with open(source, "rb") as f:
        members = json.loads(f.read().decode("utf-8"))  # strict; a byte-order mark is refused
    if not isinstance(members, dict) or not all(isinstance(v, str) for v in members.values()):
        raise ValueError("not one object of texts")
    fields = [part for pair in members.items() for part in pair]
except Exception as error:  # whatever went wrong goes to the test
    fields = ["error", repr(error)]
with open(target + ".part", "wb") as f:
    f.write("".join(field + "\0" for field in fields).encode("utf-16-le", "surrogatepass"))
os.replace(target + ".part", target)
