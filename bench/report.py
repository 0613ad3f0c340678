#!/usr/bin/env python3
"""Turns the benchmark results of bench/run.sh into docs/PERFORMANCE.md.

usage: report.py RESULTS_DIR OUTPUT.md SIZE...

RESULTS_DIR holds one Google Benchmark JSON file per program and size
(<program>-<size>.json). Each figure is the median over the repetitions; a figure
named X has its floor, when it has one, in the figure named X.floor.
"""
import datetime
import glob
import json
import math
import os
import re
import subprocess
import sys

# Figure, what it measures, its growth with the number of cards, its target.
# A target is ("below", milliseconds) or ("ratio", times the floor) or None.
FIGURES = [
    ("Import", "import of the three sources into the three database files", "n",
     ("below", 1000.0)),
    ("LoadDatabase", "loading the card database (both files)", "n", ("ratio", 1.5)),
    ("FillList", "filling and sorting the card list", "n log n", ("below", 25.0)),
    ("Search", "one keystroke's search (every prefix of 1,000 names)", "log n",
     ("below", 0.050)),
    ("ComposePage/typical", "composing and importing a typical card's page", "1", None),
    ("ComposePage/longest", "composing and importing the longest page", "1", None),
    ("LookUp/cached", "from LookUp to the card window's page laid out, pictures cached",
     "log n", ("below", 10.0)),
    ("LookUp/uncached", "the same with the pictures not yet cached", "log n", None),
    ("GetBitmap/cold", "first GetBitmap of a symbol (read, decode)", "1", None),
    ("GetBitmap/warm", "GetBitmap of a cached symbol", "1", None),
    ("GetScaledBitmap/cold", "first 16 x 16 copy of a symbol", "1", None),
    ("GetScaledBitmap/warm", "cached 16 x 16 copy", "1", None),
    ("PackFileExists", "PackFileExists of the last of 300 entries", "1", None),
    ("PackEntryRead", "reading the last of 300 archive entries", "1", None),
    ("Start", "process start to the main window shown and filled (offscreen)", "n",
     ("below", 300.0)),
]

def load_results(results_dir, size):
    figures = {}
    for path in sorted(glob.glob(os.path.join(results_dir, "*-%s.json" % size))):
        with open(path) as f:
            data = json.load(f)
        for run in data.get("benchmarks", []):
            if run.get("error_occurred"):
                name = base_name(run["name"])
                figures[name] = {"error": run.get("error_message", "error")}
                continue
            if run.get("run_type") == "aggregate" and run.get("aggregate_name") != "median":
                continue
            name = base_name(run.get("run_name", run["name"]))
            figures[name] = run
    return figures


def base_name(name):
    # "LoadDatabase.memory/iterations:1/repeats:1" -> "LoadDatabase.memory"
    return re.sub(r"/(iterations|repeats|real_time|manual_time|min_time)(:[^/]*)?", "",
                  name).replace("_median", "")


def milliseconds(run):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run.get("time_unit", "ns")]
    return run["real_time"] * scale


def show_time(ms):
    if ms is None:
        return "—"
    if ms < 1.0:
        return "%.1f µs" % (ms * 1000) if ms < 0.1 else "%.0f µs" % (ms * 1000)
    return "%.1f ms" % ms if ms < 100 else "%.0f ms" % ms


def figure_time(figures, name):
    run = figures.get(name)
    if not run or "error" in run:
        return None
    return milliseconds(run)


def verdict(target, value, floor):
    if target is None or value is None:
        return ""
    kind, limit = target
    if kind == "below":
        return ("met" if value < limit else "**missed**") + " (< %s)" % show_time(limit)
    if floor is None:
        return ""
    return ("met" if value <= limit * floor else "**missed**") + " (≤ %.1f× floor)" % limit


def machine():
    def run(command):
        try:
            return subprocess.run(command, capture_output=True, text=True).stdout
        except OSError:
            return ""
    lscpu = run(["lscpu"])
    model = re.search(r"Model name:\s*(.+)", lscpu)
    cores = os.cpu_count()
    with open("/proc/meminfo") as f:
        total = int(re.search(r"MemTotal:\s*(\d+)", f.read()).group(1))
    return "%s, %d cores, %.1f GiB memory, %s" % (
        model.group(1).strip() if model else "unknown CPU", cores, total / 1048576,
        run(["uname", "-sr"]).strip())


def load_note(results_dir):
    loads = []
    for moment in ("before", "after"):
        path = os.path.join(results_dir, "loadavg-" + moment)
        if os.path.exists(path):
            with open(path) as f:
                loads.append("%s %s" % (moment, f.read().strip()))
    if not loads:
        return ""
    return "; load averages (1, 5, 15 minutes) %s: figures taken while other work runs " \
           "are slower than on a quiet machine" % ", ".join(loads)


def memory_rows(figures_by_size, sizes):
    rows = []
    for size in sizes:
        figures = figures_by_size[size]
        load = figures.get("LoadDatabase.memory")
        start = figures.get("Start")
        if load and "error" not in load:
            added = load["resident_KiB"] / 1024
            files = load["files_KiB"] / 1024
            ok = "met" if added < 2.5 * files else "**missed**"
            rows.append("| resident memory added by LoadDatabase, %s cards | %.1f MiB | "
                        "%.1f MiB (the two files) | %.2f | %s (< 2.5× the files) |"
                        % (f"{size:,}", added, files, added / files, ok))
        if start and "error" not in start and "peak_KiB" in start:
            floor = figures.get("Start.floor", {})
            floor_peak = floor.get("peak_KiB")
            rows.append("| peak resident memory of the whole program (VmHWM), %s cards | "
                        "%.1f MiB | %s (bare Qt window) | %s | |"
                        % (f"{size:,}", start["peak_KiB"] / 1024,
                           "%.1f MiB" % (floor_peak / 1024) if floor_peak else "—",
                           "%.2f" % (start["peak_KiB"] / floor_peak) if floor_peak else "—"))
    return rows


def main():
    results_dir, output, sizes = sys.argv[1], sys.argv[2], [int(s) for s in sys.argv[3:]]
    by_size = {size: load_results(results_dir, size) for size in sizes}
    lines = [
        "# Performance",
        "",
        "Measured by `bench/run.sh` on %s." % machine(),
        "Release build, offscreen; each figure is the median of the repetitions, wall-clock "
        "time. Data: synthetic card pools made by `bench/gen` (seeded, so every run sees the "
        "same cards), imported by the program itself. The floor of a figure is the least "
        "work of the same kind, measured in the same process: the ratio says how much the "
        "program adds to it.",
        "",
        "Last run: %s%s." % (datetime.date.today().isoformat(), load_note(results_dir)),
        "",
    ]
    for size in sizes:
        figures = by_size[size]
        lines += ["## %s cards" % f"{size:,}", "",
                  "| figure | time | floor | ratio | target |",
                  "|---|---|---|---|---|"]
        for name, what, _, target in FIGURES:
            run = figures.get(name)
            if run is None:
                continue
            if "error" in run:
                lines.append("| %s: %s | failed: %s | | | |" % (name, what, run["error"]))
                continue
            value = milliseconds(run)
            floor = figure_time(figures, name + ".floor")
            ratio = "%.2f" % (value / floor) if floor else "—"
            lines.append("| %s: %s | %s | %s | %s | %s |" % (
                name, what, show_time(value), show_time(floor), ratio,
                verdict(target if size == 30000 else None, value, floor)))
        lines.append("")
    memory = memory_rows(by_size, sizes)
    if memory:
        lines += ["## Memory", "", "| figure | value | floor | ratio | target |",
                  "|---|---|---|---|---|"] + memory + [""]
    if len(sizes) >= 2:
        small, large = sizes[0], sizes[-1]
        r = large / small
        lines += ["## Growth from %s to %s cards" % (f"{small:,}", f"{large:,}"), "",
                  "Each step should grow with the number of cards n as the last column "
                  "says: by %.2f× for n, by about %.2f× for n log n (the sort), not at all "
                  "for the steps that touch one card. Where the floor grows faster than that "
                  "as well, the machine (its caches, its other work) is the cause, not the "
                  "program." % (r, r * math.log(large) / math.log(small)),
                  "",
                  "| figure | %s | %s | growth | its floor's growth | expected |"
                  % (f"{small:,}", f"{large:,}"),
                  "|---|---|---|---|---|---|"]
        for name, _, growth, _ in FIGURES:
            a, b = figure_time(by_size[small], name), figure_time(by_size[large], name)
            if a is None or b is None:
                continue
            expected = {"1": "1× (one card)", "log n": "≈ 1× (log n)",
                        "n": "%.2f× (n)" % r,
                        "n log n": "%.2f× (n log n)" % (r * math.log(large) / math.log(small))}
            fa = figure_time(by_size[small], name + ".floor")
            fb = figure_time(by_size[large], name + ".floor")
            floor_growth = "%.2f×" % (fb / fa) if fa and fb else "—"
            lines.append("| %s | %s | %s | %.2f× | %s | %s |" % (
                name, show_time(a), show_time(b), b / a, floor_growth, expected[growth]))
        lines.append("")
    notes = os.path.join(os.path.dirname(os.path.abspath(__file__)), "FINDINGS.md")
    if os.path.exists(notes):
        with open(notes) as f:
            lines += [f.read().rstrip(), ""]
    with open(output, "w") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
