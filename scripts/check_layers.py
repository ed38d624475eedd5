#!/usr/bin/env python3
"""Checks that every #include "..." in the project follows the layers.

Each file belongs to the layer of the longest folder prefix below; it may include
headers of its own layer and of the layers listed for it, nothing else. Prints every
include that breaks the rule and exits 1 when there is one.
"""
import pathlib
import re
import subprocess
import sys

# layer folder -> the folders it may include besides its own
ALLOWED = {
    "platform": [],
    "platform/headless": ["platform"],
    "platform/qt": ["platform"],
    "platform/sdl": ["platform"],
    "workers": ["platform"],
    "machine": ["platform"],
    "chip8": ["machine", "workers", "platform"],
    "chip16": ["machine", "workers", "platform"],
    "display": ["chip8", "chip16", "machine", "workers", "platform"],
    "sound": ["machine", "platform"],
    "app": ["display", "sound", "chip8", "chip16", "machine", "workers", "platform"],
    "app/gui": ["app", "display", "sound", "chip8", "chip16", "machine", "workers", "platform",
                "platform/qt", "platform/sdl"],
    "tools/program_builders": [],
    "roms": ["tools/program_builders"],
    "tools/quorvix_run": ["app", "display", "sound", "chip8", "chip16", "machine", "workers",
                          "platform", "platform/headless", "platform/sdl"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(path):
    best = None
    for folder in ALLOWED:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    files = subprocess.run(
        ["git", "ls-files", "--cached", "--others", "--exclude-standard", "*.cpp", "*.h"],
        cwd=root, capture_output=True, text=True, check=True).stdout.split()
    broken = []
    for name in files:
        layer = layer_of(name)
        if layer is None:  # tests, benchmarks, fuzz targets: above every layer
            continue
        allowed = [layer] + ALLOWED[layer]
        for number, line in enumerate((root / name).read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            if "/" not in target:  # a header beside the file
                continue
            if layer_of(target) not in allowed:
                broken.append(f"{name}:{number}: {layer}/ may not include {target} "
                              f"(allowed: {', '.join(allowed)})")
    for line in broken:
        print(line)
    if broken:
        print(f"layers: {len(broken)} include(s) break the layers")
        return 1
    print(f"layers: {len(files)} files follow the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
