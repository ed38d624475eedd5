#!/usr/bin/env python3
"""Checks a man page against its program: every option that `PROGRAM --help` lists has
an entry of its own in the page's OPTIONS section and the page lists no option the
program lacks; the page's footer names the version `PROGRAM --version` prints; groff
formats the page without a warning.

usage: man_page_test.py PAGE PROGRAM
"""
import re
import shutil
import subprocess
import sys

# An option name: one or two dashes, then a letter; not a dash inside a word
# ("SUPER-CHIP", "Chip-16") nor the bare "--" that ends the options.
OPTION = re.compile(r"(?<![\w-])--?[A-Za-z][\w-]*")


def help_options(help_text):
    """The options in the option column of a --help text (Qt's and CLI11's layouts):
    each line that starts with a dash, up to the gap before its description."""
    options = set()
    for line in help_text.splitlines():
        stripped = line.strip()
        if stripped.startswith("-"):
            options.update(OPTION.findall(re.split(r"\s{2,}", stripped)[0]))
    return options


def plain_troff(line):
    """A troff line as text: no font changes, escaped dashes as dashes."""
    line = re.sub(r"\\f[BIRP]", "", line).replace("\\-", "-")
    return re.sub(r'^\.(B|I|BR|BI|IB|RB|RI|IR)\s+', "", line).replace('"', "")


def page_options(page_text):
    """The options that head an entry (the line after .TP) of the OPTIONS section."""
    options = set()
    section = None
    lines = page_text.splitlines()
    for number, line in enumerate(lines):
        if line.startswith(".SH"):
            section = line[3:].strip().strip('"')
        elif section == "OPTIONS" and line.startswith(".TP") and number + 1 < len(lines):
            options.update(OPTION.findall(plain_troff(lines[number + 1])))
    return options


def page_version(page_text):
    """The version in the .TH line's footer ("Quorvix 1.2")."""
    for line in page_text.splitlines():
        if line.startswith(".TH"):
            fields = re.findall(r'"([^"]*)"|(\S+)', line[3:])
            words = [quoted or bare for quoted, bare in fields]
            if len(words) >= 4:
                return words[3].split()[-1]
    return None


def run(program, option):
    result = subprocess.run([program, option], capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise SystemExit(f"{program} {option} ended with status {result.returncode}:\n"
                         f"{result.stderr}")
    return result.stdout


def groff_warnings(page):
    if shutil.which("groff") is None:
        return []
    result = subprocess.run(["groff", "-man", "-ww", "-z", "-Tutf8", page],
                            capture_output=True, text=True, timeout=60)
    return [line for line in result.stderr.splitlines() if line.strip()]


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    page, program = sys.argv[1], sys.argv[2]
    with open(page, encoding="utf-8") as file:
        page_text = file.read()
    problems = []

    listed = help_options(run(program, "--help"))
    # A help text the parser no longer understands must not pass as "nothing to check".
    for needed in ("--help", "--version"):
        if needed not in listed:
            problems.append(f"found no {needed} in the --help text: its layout changed")
    documented = page_options(page_text)
    for option in sorted(listed - documented):
        problems.append(f"{option} is in --help but has no entry in the page's OPTIONS")
    for option in sorted(documented - listed):
        problems.append(f"{option} has an entry in the page but is not in --help")

    printed = run(program, "--version").split()
    version = printed[-1] if printed else ""
    if page_version(page_text) != version:
        problems.append(f"the page is for version {page_version(page_text)!r}, "
                        f"--version prints {version!r}")

    problems += [f"groff: {line}" for line in groff_warnings(page)]

    for problem in problems:
        print(f"{page}: {problem}")
    if problems:
        return 1
    print(f"{page}: {len(listed)} options documented, version {version}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
