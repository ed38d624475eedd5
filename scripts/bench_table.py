#!/usr/bin/env python3
"""Turns the benchmark suite's JSON output into the table of headline figures.

    bench_table.py bench.json [--readme README.md]

With --readme, the README's text between <!-- bench:start --> and <!-- bench:end -->
is replaced by the table and the machine it was measured on (markers are added at the
end when missing).
"""
import json
import os
import platform
import re
import subprocess
import sys

START, END = "<!-- bench:start -->", "<!-- bench:end -->"

# (row label, benchmark name, how to read it, the floor's benchmark or None). A floor is
# the least this machine can take for the same work: a one-function switch interpreter
# with the same behaviour, or a memset of the same picture rows.
ROWS = [
    ("CHIP-8 interpreter, register arithmetic, skips, calls", "BM_Chip8AluBatch", "rate",
     "BM_Chip8FloorAlu"),
    ("CHIP-8 interpreter core stepped without the clock, the same program", "BM_Chip8AluCore",
     "rate", "BM_Chip8FloorAlu"),
    ("CHIP-8 interpreter, the same program while the delay timer runs; ratio to it without",
     "BM_Chip8AluBatchTimerRunning", "rate", "BM_Chip8AluBatch"),
    ("CHIP-8 interpreter, a delay-timer loop", "BM_Chip8TimerLoop", "rate", None),
    ("CHIP-8 drawing: clear, then eight five-row digits in low resolution", "BM_Chip8DrawDigits",
     "rate", None),
    ("CHIP-8 drawing: clear, then a logo of six 8 x 15 sprites", "BM_Chip8DrawLogo", "rate", None),
    ("CHIP-8 screen clear (00E0), 128 x 64 cells", "BM_Chip8ScreenClear", "cpu",
     "BM_Chip8ScreenMemset"),
    ("CHIP-8 scroll down four rows (00C4)", "BM_Chip8ScreenScrollDown", "cpu",
     "BM_Chip8ScreenMemmove"),
    ("CHIP-8 scroll left four cells (00FC)", "BM_Chip8ScreenScrollLeft", "cpu",
     "BM_Chip8ScreenRowMemmove"),
    ("Chip-16 executor, mixed program", "BM_Chip16ExecutorMixed", "rate",
     "BM_Chip16FloorMixed"),
    ("Chip-16 executor, mixed program with sprites", "BM_Chip16ExecutorMixedWithSprites", "rate",
     "BM_Chip16FloorMixedWithSprites"),
    ("Chip-16 executor, narrow sprites (5 x 10 and 2 x 40 bytes) in every flip",
     "BM_Chip16ExecutorNarrowSprites", "rate", "BM_Chip16FloorNarrowSprites"),
    ("CHIP-8 display, 128 x 64 cells drawn into the 512 x 256 picture", "BM_Chip8ConvertFullScreen",
     "cpu", "BM_Chip8PictureMemset"),
    ("CHIP-8 display, the four looks of two planes", "BM_Chip8ConvertFourColours", "cpu",
     "BM_Chip8PictureMemset"),
    ("Chip-16 display convert, 320 x 240 pixels to the 960 x 720 picture, every row changed",
     "BM_Chip16DisplayConvert", "cpu", "BM_Chip16PictureMemset"),
    ("Fair mutex hand-over: a waiting thread gets the mutex from a worker stepping CHIP-8 batches "
     "in a loop, from the end of the worker's step", "BM_FairHandOverFromChip8Worker", "handover",
     None),
    ("Frame pacer: how late its sleep to a frame deadline wakes",
     "BM_FramePacerDeadlineLateness", "handover", None),
    ("CHIP-8 start (load, display, two workers), first frame, stop",
     "BM_Chip8StartToFirstFrameAndStop", "time", None),
    ("Chip-16 start (load, display, worker), first frame, stop",
     "BM_Chip16StartToFirstFrameAndStop", "time", None),
    ("Automatic at a CHIP-8 start: the SHA-1 of a 65,024-byte ROM and the table lookup",
     "BM_IdentifyLargestChip8Rom", "time", None),
    ("CPU share of a paced Chip-16 game loop over 10 s (process CPU / wall)",
     "BM_PacedChip16CpuShare", "share", None),
    ("CHIP-8 machine running on its workers (Quorvix rules), no debugger open",
     "BM_Chip8RunningDebuggerClosed", "rate", None),
    ("the same with the Debugger window open: a snapshot every 100 ms, ratio to closed",
     "BM_Chip8RunningDebuggerOpen", "rate", "BM_Chip8RunningDebuggerClosed"),
    ("one debugger snapshot (registers and 64 KiB of memory), taken ten times a second",
     "BM_Chip8DebuggerSnapshot", "cpu", None),
]

UNIT_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def readable_time(seconds):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("µs", 1e-6)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}"
    return f"{seconds / 1e-9:.3g} ns"


def figure(result, kind):
    if kind == "rate":
        rate = result["items_per_second"]
        return f"{rate / 1e6:.0f} million instructions/s ({1e9 / rate:.2f} ns each)"
    if kind == "handover":
        return (f"median {readable_time(result['median_us'] * 1e-6)}, "
                f"99th percentile {readable_time(result['p99_us'] * 1e-6)}")
    if kind == "share":
        return (f"{result['cpu_share_percent']:.1f} % of one core "
                f"at {result['frames_per_second']:.1f} frames/s")
    # "cpu": a single-threaded figure, read as processor time so that other programs
    # on a busy machine do not count; "time": wall time.
    seconds = result["cpu_time" if kind == "cpu" else "real_time"] * UNIT_SECONDS[result["time_unit"]]
    return readable_time(seconds)


def cost(result, kind):
    """Seconds per unit of work, for ratios between a figure and its floor."""
    if kind == "rate":
        return 1.0 / result["items_per_second"]
    return result["cpu_time" if kind == "cpu" else "real_time"] * UNIT_SECONDS[result["time_unit"]]


def machine():
    model, cores = platform.processor() or "unknown processor", os.cpu_count()
    try:
        lscpu = subprocess.run(["lscpu"], capture_output=True, text=True, check=True).stdout
        found = re.search(r"^Model name:\s*(.+)$", lscpu, re.M)
        if found:
            model = found.group(1).strip()
    except (OSError, subprocess.CalledProcessError):
        pass
    return f"{model}, {cores} cores, {platform.system()} {platform.release()}"


def table(results):
    # Names carry suffixes such as "/real_time" or "/iterations:1/manual_time".
    # A benchmark that reported an error (a floor whose check failed) counts as missing.
    # Repeated benchmarks are read by the median of their repetitions.
    by_name = {}
    for r in results["benchmarks"]:
        if r.get("error_occurred"):
            continue
        if r.get("run_type") == "aggregate":
            if r.get("aggregate_name") == "median":
                by_name[r["run_name"].split("/")[0]] = r
        else:
            by_name.setdefault(r["name"].split("/")[0], r)
    lines = ["| What | Measured | Floor | Ratio to floor |", "|---|---|---|---|"]
    missing = []
    for label, name, kind, floor_name in ROWS:
        if name not in by_name:
            missing.append(name)
            continue
        result = by_name[name]
        floor_text, ratio = "", ""
        if floor_name is not None:
            if floor_name in by_name:
                floor = by_name[floor_name]
                floor_text = figure(floor, kind)
                ratio = f"{cost(result, kind) / cost(floor, kind):.2f}×"
            else:
                missing.append(floor_name)
        lines.append(f"| {label} | {figure(result, kind)} | {floor_text} | {ratio} |")
    return "\n".join(lines), missing


def update_readme(path, section):
    text = open(path, encoding="utf-8").read()
    block = f"{START}\n{section}\n{END}"
    if START in text and END in text:
        text = re.sub(re.escape(START) + ".*?" + re.escape(END), lambda _: block, text,
                      flags=re.S)
    else:
        text = text.rstrip("\n") + "\n\n" + block + "\n"
    open(path, "w", encoding="utf-8").write(text)


def main():
    results = json.load(open(sys.argv[1], encoding="utf-8"))
    rows, missing = table(results)
    context = results.get("context", {})
    load = context.get("load_avg") or []
    busy = f", load average {load[0]:.1f} when it started" if load else ""
    where = (f"Measured by `make bench` (Release build, {context.get('date', '')[:10]}) on "
             f"{machine()}{busy}.")
    print(rows)
    print()
    print(where)
    if missing:
        print("missing benchmarks: " + ", ".join(missing), file=sys.stderr)
    if "--readme" in sys.argv:
        readme = sys.argv[sys.argv.index("--readme") + 1]
        update_readme(readme, f"{where}\n\n{rows}")
        print(f"updated {readme}")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
