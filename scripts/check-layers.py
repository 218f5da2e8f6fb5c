#!/usr/bin/python3
"""Dependencies point down the layer list: a folder's includes and CMake links name only
folders at its own level or below. Prints every upward one and exits 1 when there is any."""
import pathlib
import re
import sys

LEVELS = {
    "platform": 0, "service": 1, "recipients": 2, "lookup": 3, "records": 3, "optout": 4,
    "compliance": 5, "sending": 6, "addressbook": 7, "phrases": 7, "campaign": 7,
    "variable": 7, "app": 8, "tools": 9,
}
# Folders at level 7 are the subsystems of one layer; they may use each other.

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
include = re.compile(r'^\s*#\s*include\s+"([a-z]+)/', re.M)
faults = []

for folder, level in LEVELS.items():
    for path in sorted((root / folder).rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        for used in include.findall(path.read_text(encoding="utf-8", errors="replace")):
            if LEVELS.get(used, -1) > level:
                faults.append(f"{path.relative_to(root)} includes {used}/")

# Which folder defines each library target, then what each folder's targets link.
owner = {}
for folder in LEVELS:
    cmake = root / folder / "CMakeLists.txt"
    if cmake.exists():
        for name in re.findall(r"add_library\(\s*(\w+)", cmake.read_text(encoding="utf-8")):
            owner[name] = folder
for folder, level in LEVELS.items():
    cmake = root / folder / "CMakeLists.txt"
    if not cmake.exists():
        continue
    for target, body in re.findall(r"target_link_libraries\(\s*(\w+)([^)]*)\)",
                                   cmake.read_text(encoding="utf-8")):
        for lib in re.findall(r"\bsmsc_\w+", body):
            used = owner.get(lib)
            if used and LEVELS[used] > level:
                faults.append(f"{folder}/CMakeLists.txt: {target} links {lib} of {used}/")

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
