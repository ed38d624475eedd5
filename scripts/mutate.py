#!/usr/bin/env python3
"""Mutation testing: plants each fault of scripts/mutants.py in turn into a scratch copy
of the sources (build-qa-mutate/), rebuilds the test programs that cover its folder
incrementally, runs their fast tests and reports the fault killed (a test failed) or
survived. Exits non-zero when a fault survives, when a fault's original text is not found
exactly once, or when the unchanged sources already fail.

    scripts/mutate.py [substring ...]   # only the faults whose file or text contains one
"""
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
SCRATCH = ROOT / "build-qa-mutate"
SOURCE = SCRATCH / "src"
BUILD = SCRATCH / "build"
sys.dont_write_bytecode = True
sys.path.insert(0, str(ROOT / "scripts"))
from mutants import MUTANTS  # noqa: E402

# The test programs (and their ctest labels) that cover each source, by the longest
# matching path prefix.
SUITES = {
    "chip8/": ["chip8_tests"],
    "chip8/chip8_machine": ["foundation_tests", "chip8_tests"],
    "chip16/": ["chip16_tests"],
    "chip16/chip16_machine": ["foundation_tests", "chip16_tests"],
    "workers/": ["foundation_tests", "chip8_tests"],
    "display/chip8_display": ["chip8_tests"],
    "display/chip16_display": ["chip16_tests"],
    "display/picture_display": ["chip16_tests", "chip8_tests"],
    "app/chip8": ["chip8_tests", "shell_tests"],
    "app/chip16": ["chip16_tests", "shell_tests"],
    "app/key_tables": ["foundation_tests", "chip8_tests"],
    "app/machine_control": ["shell_tests"],
    "app/save_state": ["state_tests"],
    "app/state_": ["state_tests"],
    "machine/": ["chip8_tests", "shell_tests"],
    "app/gui/": ["gui_tests", "main_window_x11_tests"],
    "platform/clock": ["foundation_tests", "chip16_tests"],
    "platform/random": ["foundation_tests", "chip16_tests"],
    "platform/": ["foundation_tests"],
    "platform/qt/": ["gui_tests", "picture_widget_x11_tests"],
    "sound/": ["sound_tests"],
    "sound/sound_recording": ["sound_tests", "chip8_tests"],
    "sound/wav_file": ["chip8_tests"],
    "platform/qt/x11_presenter": ["x11_presenter_tests", "picture_widget_x11_tests"],
    "chip8/disassembler": ["debugger_tests"],
    "chip16/disassembler": ["debugger_tests"],
    "machine/debugging": ["debugger_tests"],
    "app/debug_watch": ["debugger_tests"],
    "chip8/interpreter": ["chip8_tests", "debugger_tests"],
    "chip16/run_loop": ["chip16_tests", "debugger_tests"],
    "chip16/sound": ["chip16_tests", "shell_tests"],
    "app/chip8_runtime": ["chip8_tests", "shell_tests", "debugger_tests"],
    "app/chip16_runtime": ["chip16_tests", "shell_tests", "debugger_tests"],
}


def suites_for(file):
    return SUITES[max((prefix for prefix in SUITES if file.startswith(prefix)), key=len)]


# Faults in code that only runs on processors with an instruction set extension: on a
# processor without it no test can reach them, so they are listed as not runnable here.
NEEDS_FEATURE = {"_mm512": "avx512f"}


def missing_feature(original):
    try:
        flags = pathlib.Path("/proc/cpuinfo").read_text().split()
    except OSError:
        flags = []
    for marker, feature in NEEDS_FEATURE.items():
        if marker in original and feature not in flags:
            return feature
    return None


# Tests that wait on real time or only repeat long runs; the rest take seconds.
SLOW = "StopsCleanlyWhileDrawing|AStepHoldingTheMutexPastOneSecond"
TEST_TIMEOUT = "60"


def run(command, **options):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **options)


def copy_sources():
    # Only files whose content differs are written, and they get a fresh time, so that
    # the build notices them, including a fault left behind by an interrupted run.
    for entry in ROOT.rglob("*"):
        relative = entry.relative_to(ROOT)
        if entry.is_dir() or relative.parts[0].startswith(("build", ".git", ".cache")):
            continue
        target = SOURCE / relative
        content = entry.read_bytes()
        if not target.exists() or target.read_bytes() != content:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content)
            shutil.copymode(entry, target)
    # The external ROMs sit beside the sources, as ../shared/roms does beside the project.
    shared = (ROOT / ".." / "shared").resolve()
    link = SCRATCH / "shared"
    if shared.is_dir() and not link.exists():
        link.symlink_to(shared)


def check_snippets():
    problems = []
    for entry in MUTANTS:
        path, original = ROOT / entry[0], entry[1]
        count = path.read_text().count(original) if path.exists() else 0
        if count != 1:
            problems.append(f"{entry[0]}: {original!r} found {count} times (must be once)")
    return problems


def build(targets):
    return run(["cmake", "--build", str(BUILD), "-j", str(os.cpu_count() or 2), "--target", *targets])


def test(labels):
    return run(["ctest", "--test-dir", str(BUILD), "-j", str(os.cpu_count() or 2), "--timeout", TEST_TIMEOUT,
                "--stop-on-failure", "-L", "^(" + "|".join(labels) + ")$", "-E", SLOW])


def main():
    wanted = sys.argv[1:]
    problems = check_snippets()
    if problems:
        print("mutate: fault list out of date:\n  " + "\n  ".join(problems))
        return 2
    started = time.monotonic()
    SOURCE.mkdir(parents=True, exist_ok=True)
    copy_sources()
    configure = run(["cmake", "-S", str(SOURCE), "-B", str(BUILD), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                     "-DQUORVIX_BUILD_GUI=ON", "-DQUORVIX_WERROR=OFF", "-DCMAKE_CXX_FLAGS_RELEASE=-O1"])
    all_suites = sorted({suite for suites in SUITES.values() for suite in suites})
    for step in (lambda: configure, lambda: build(all_suites), lambda: test(all_suites)):
        result = step()
        if result.returncode != 0:
            print(result.stdout[-4000:])
            print("mutate: the unchanged sources do not build or pass their tests")
            return 2

    killed, survived, equivalent = [], [], []
    # A file keeps the previous fault's text until the next fault replaces it, so that
    # faults in one file cost one rebuild each; it is restored when the file changes.
    originals = {}
    try:
        for number, entry in enumerate(MUTANTS, 1):
            file, original, replacement = entry[:3]
            if wanted and not any(w in file or w in original for w in wanted):
                continue
            label = f"#{number} {file}: {original.strip()!r} -> {replacement.strip()!r}"
            if len(entry) > 3:
                equivalent.append(f"{label}\n    equivalent: {entry[3]}")
                continue
            feature = missing_feature(original)
            if feature:
                equivalent.append(f"{label}\n    not runnable: this processor has no {feature}")
                continue
            for other in [f for f in originals if f != file]:
                (SOURCE / other).write_text(originals.pop(other))
            path = SOURCE / file
            text = originals.setdefault(file, path.read_text())
            path.write_text(text.replace(original, replacement, 1))
            suites = suites_for(file)
            built = build(suites)
            if built.returncode != 0:
                print(built.stdout[-3000:])
                print(f"mutate: {label} does not compile; a fault must be a working program")
                return 2
            outcome = test(suites)
            verdict = "killed" if outcome.returncode != 0 else "SURVIVED"
            (killed if outcome.returncode != 0 else survived).append(label)
            print(f"{verdict:8} {label}", flush=True)
    finally:
        for other, text in originals.items():
            (SOURCE / other).write_text(text)

    total = len(killed) + len(survived)
    print(f"\nmutation score: {len(killed)}/{total} killed, {len(survived)} survived, "
          f"{len(equivalent)} listed as equivalent or not runnable here ({time.monotonic() - started:.0f} s)")
    for line in equivalent:
        print(line)
    for line in survived:
        print("survived: " + line)
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
