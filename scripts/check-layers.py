#!/usr/bin/env python3
"""Checks that every source file includes only from its own layer or below.

The layers, lowest first, are listed in LAYERS; a file belongs to the first
entry its path starts with. A file may include a header of its own layer or
of a lower one, never of a higher one. Plug-ins are one layer, but a plug-in
may not include another plug-in's files. Tests, benchmarks and fuzzers sit on
top and may include anything, but nothing below them may include them.

Usage: check-layers.py [ROOT]   (exit 1 and a line per upward include)
"""
import pathlib
import re
import subprocess
import sys

# Lowest first. Within the platform each folder may use the ones before it.
LAYERS = [
    "Platform/OleAuto",
    "Platform/SysUtils",
    "Platform/Unicode",
    "Platform/Clock",
    "Platform/DateTime",
    "Platform/Files",
    "Platform/FormatSettings",
    "Platform/IniFile",
    "Platform/JetSql",
    "Platform/RegExpr",
    "Platform/Registry",
    "Platform/Http",
    "Platform/Zip",
    "Platform/Ado",
    "Platform/Forms",
    "Platform/FormsQt",
    "PluginAPI/PluginAPI.h",
    "PluginAPI/Plugins",
    "Includes",
    "Plugins",
    "DemoData",
    "Host",
    "bench",
    "tests",
    "fuzz",
]
TOP = {"bench", "tests", "fuzz"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def layer_of(path):
    for i, layer in enumerate(LAYERS):
        if path == layer or path.startswith(layer + "/"):
            return i
    return None


def plugin_of(path):
    parts = path.split("/")
    return parts[1] if parts[0] == "Plugins" and len(parts) > 2 else None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    files = subprocess.run(
        ["git", "ls-files", "--cached", "--others", "--exclude-standard", "*.cpp", "*.h"],
        cwd=root, check=True, capture_output=True, text=True).stdout.split()
    faults = []
    for name in files:
        own = layer_of(name)
        if own is None:
            faults.append(f"{name}: not in any layer (add its folder to LAYERS)")
            continue
        text = (root / name).read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            target = match.group(1)
            line = text.count("\n", 0, match.start()) + 1
            if not (root / target).exists():
                continue  # relative to the file's own folder, or generated
            other = layer_of(target)
            if other is None:
                faults.append(f"{name}:{line}: includes {target}, which is in no layer")
            elif LAYERS[own] in TOP:
                # Tests and benchmarks may use each other's support only in
                # the direction tests -> bench.
                if LAYERS[other] in TOP and other > own:
                    faults.append(f"{name}:{line}: includes {target} ({LAYERS[other]} is above {LAYERS[own]})")
            elif other > own:
                faults.append(f"{name}:{line}: includes {target} ({LAYERS[other]} is above {LAYERS[own]})")
            elif plugin_of(name) and plugin_of(target) and plugin_of(name) != plugin_of(target):
                faults.append(f"{name}:{line}: includes {target} (another plug-in)")
    for fault in faults:
        print(fault)
    if faults:
        print(f"check-layers: {len(faults)} upward include(s)", file=sys.stderr)
        return 1
    print(f"check-layers: {len(files)} files, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
