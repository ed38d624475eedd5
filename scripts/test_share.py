#!/usr/bin/env python3
"""Prints the share of C++ lines that are tests: non-blank lines that are not only a
comment, in tests/ over every *.cpp and *.h of the source tree (build folders left out)."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)


def code_lines(path):
    count = 0
    in_block = False
    for line in path.read_text(errors="replace").splitlines():
        text = line.strip()
        if in_block:
            if "*/" in text:
                in_block = False
                text = text.split("*/", 1)[1].strip()
            else:
                continue
        if text.startswith("/*"):
            if "*/" not in text:
                in_block = True
                continue
            text = text.split("*/", 1)[1].strip()
        if text and not text.startswith("//"):
            count += 1
    return count


total = tests = 0
for path in root.rglob("*"):
    parts = path.relative_to(root).parts
    if path.suffix not in (".cpp", ".h") or any(re.match(r"build|\.", p) for p in parts):
        continue
    lines = code_lines(path)
    total += lines
    if parts[0] == "tests":
        tests += lines
print(f"tests {tests} of {total} C++ lines: {100.0 * tests / total:.1f}%")
