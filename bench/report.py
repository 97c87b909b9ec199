#!/usr/bin/env python3
"""Turns the raw runs written by bench/run into tables, ratios and goal lines.

Input: one tab-separated line per run:
scenario, id, role (ours|curl|aria2), label, rep, status (ok|fail),
wall s, user s, sys s, peak RSS KB, note.
The scenario "list@N" is the list scenario at N rows.
Exit status 0 when every run succeeded and every goal passed, else 1.
"""

import argparse
import statistics
import sys

# Goals for quillmoor-cli ("ours").
SINGLE_MAX_WALL_RATIO = 1.25  # throughput at least 0.8x curl's
SINGLE_MAX_CPU_RATIO = 2.0
MANY_MAX_WALL_RATIO = 2.0
LIST_MAX_WALL_RATIO = 2.0  # and ahead of aria2
# Time for k times the rows at most this many times k: linear within noise.
LIST_MAX_GROWTH_PER_ROW_RATIO = 1.1
MAX_RSS_MB = 100.0
LIST_MAX_RSS_MB = 150.0

SCENARIO_ORDER = ["single", "many"]


def list_rows(scenario):
    """The row count of a "list@N" scenario, or None."""
    if scenario.startswith("list@") and scenario[5:].isdigit():
        return int(scenario[5:])
    return None


def scenario_order(names):
    lists = sorted((n for n in names if list_rows(n) is not None), key=list_rows)
    rest = sorted(set(names) - set(SCENARIO_ORDER) - set(lists))
    return [n for n in SCENARIO_ORDER if n in names] + lists + rest


class Contender:
    def __init__(self, cid, role, label):
        self.id = cid
        self.role = role
        self.label = label
        self.runs = []  # dicts of one run each

    @property
    def ok_runs(self):
        return [r for r in self.runs if r["ok"]]

    @property
    def all_ok(self):
        return bool(self.runs) and all(r["ok"] for r in self.runs)

    def median(self, key):
        values = [r[key] for r in self.ok_runs]
        return statistics.median(values) if values else None

    def max_rss_mb(self):
        values = [r["rss_mb"] for r in self.ok_runs]
        return max(values) if values else None


def read_runs(path):
    scenarios = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            fields = line.split("\t")
            if len(fields) < 10:
                raise SystemExit(f"report.py: malformed line: {line!r}")
            scenario, cid, role, label, rep, status, wall, user, sys_, rss = fields[:10]
            note = fields[10] if len(fields) > 10 else ""
            contenders = scenarios.setdefault(scenario, {})
            c = contenders.setdefault(cid, Contender(cid, role, label))
            c.runs.append(
                {
                    "rep": int(rep),
                    "ok": status == "ok",
                    "wall": float(wall),
                    "cpu": float(user) + float(sys_),
                    "rss_mb": float(rss) / 1024.0,
                    "note": note,
                }
            )
    return scenarios


def fmt(value, spec):
    return format(value, spec) if value is not None else "-"


def ratio(a, b):
    if a is None or b is None or b <= 0:
        return None
    return a / b


def reference(contenders, role):
    for c in contenders.values():
        if c.role == role:
            return c
    return None


def describe(scenario, args):
    if scenario == "single":
        return f"1 file of {args.big_mb} MB over one connection"
    if scenario == "many":
        return f"{args.many_files} files over 6 connections"
    if list_rows(scenario) is not None:
        return f"{list_rows(scenario)} rows of 1 KB over 6 connections"
    return scenario


def print_rows(rows):
    """Prints a header row and the rows under it: the first column to the
    left, the others to the right, then an empty line."""
    widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]))]
    for n, r in enumerate(rows):
        cells = [r[0].ljust(widths[0])] + [r[i].rjust(widths[i]) for i in range(1, len(r))]
        print("  " + "  ".join(cells))
        if n == 0:
            print("  " + "  ".join("-" * w for w in widths))
    print()


def print_table(scenario, contenders, args):
    curl = reference(contenders, "curl")
    aria2 = reference(contenders, "aria2")
    reps = max((len(c.runs) for c in contenders.values()), default=0)
    print(f"{scenario}: {describe(scenario, args)} (median of {reps} runs)")

    header = ["contender", "ok", "wall s", "CPU s", "RSS MB"]
    if scenario == "single":
        header.append("MB/s")
    if curl:
        header += ["wall/curl", "CPU/curl"]
    if aria2:
        header += ["wall/aria2", "CPU/aria2"]
    rows = [header]
    for c in contenders.values():
        wall, cpu, rss = c.median("wall"), c.median("cpu"), c.median("rss_mb")
        row = [
            c.label,
            f"{len(c.ok_runs)}/{len(c.runs)}",
            fmt(wall, ".2f"),
            fmt(cpu, ".2f"),
            fmt(rss, ".1f"),
        ]
        if scenario == "single":
            row.append(fmt(args.big_mb / wall if wall else None, ".0f"))
        for ref in (curl, aria2):
            if not ref:
                continue
            if c.role == "ours":
                row += [
                    fmt(ratio(wall, ref.median("wall")), ".2f"),
                    fmt(ratio(cpu, ref.median("cpu")), ".2f"),
                ]
            else:
                row += ["", ""]
        rows.append(row)

    print_rows(rows)


class Goals:
    def __init__(self):
        self.lines = []
        self.missed = 0

    def add(self, passed, text):
        self.lines.append(("PASS" if passed else "MISS") + "  " + text)
        if not passed:
            self.missed += 1


def unusable(c, ref):
    """Why a goal against ref cannot be judged for c, or None."""
    if not c.all_ok:
        return f"{len(c.runs) - len(c.ok_runs)} of {len(c.runs)} runs failed"
    if ref is None:
        return "no curl contender in this run"
    if not ref.all_ok:
        return f"curl failed {len(ref.runs) - len(ref.ok_runs)} of {len(ref.runs)} runs, no reference"
    return None


def check_goals(scenarios):
    goals = Goals()
    if "single" in scenarios:
        contenders = scenarios["single"]
        curl = reference(contenders, "curl")
        for c in contenders.values():
            if c.role != "ours":
                continue
            why = unusable(c, curl)
            if why:
                goals.add(False, f"single, {c.label}: throughput and CPU vs curl not judged ({why})")
                continue
            w = ratio(c.median("wall"), curl.median("wall"))
            goals.add(
                w <= SINGLE_MAX_WALL_RATIO,
                f"single, {c.label}: throughput {1 / w:.2f}x curl's "
                f"(wall {w:.2f}x, goal <= {SINGLE_MAX_WALL_RATIO}x)",
            )
            u = ratio(c.median("cpu"), curl.median("cpu"))
            if u is None:  # curl used no measurable CPU
                goals.add(False, f"single, {c.label}: CPU vs curl not judged (curl CPU is 0)")
            else:
                goals.add(
                    u <= SINGLE_MAX_CPU_RATIO,
                    f"single, {c.label}: CPU {u:.2f}x curl's (goal <= {SINGLE_MAX_CPU_RATIO}x)",
                )
    for scenario in scenario_order(scenarios):
        if scenario != "many" and list_rows(scenario) is None:
            continue
        limit = MANY_MAX_WALL_RATIO if scenario == "many" else LIST_MAX_WALL_RATIO
        contenders = scenarios[scenario]
        curl = reference(contenders, "curl")
        aria2 = reference(contenders, "aria2")
        for c in contenders.values():
            if c.role != "ours":
                continue
            why = unusable(c, curl)
            if why:
                goals.add(False, f"{scenario}, {c.label}: wall vs curl not judged ({why})")
            else:
                w = ratio(c.median("wall"), curl.median("wall"))
                goals.add(
                    w <= limit,
                    f"{scenario}, {c.label}: wall {w:.2f}x curl's (goal <= {limit}x)",
                )
            if list_rows(scenario) is None or aria2 is None:
                continue
            if not c.all_ok or not aria2.all_ok:
                goals.add(False, f"{scenario}, {c.label}: wall vs aria2 not judged (failed runs)")
                continue
            a = ratio(c.median("wall"), aria2.median("wall"))
            goals.add(a < 1.0, f"{scenario}, {c.label}: wall {a:.2f}x aria2's (goal < 1x)")
    for c, first, last, growth in list_growth(scenarios):
        if c.role != "ours":
            continue
        rows = list_rows(last) / list_rows(first)
        limit = rows * LIST_MAX_GROWTH_PER_ROW_RATIO
        if growth is None:
            goals.add(False, f"list growth, {c.label}: not judged (failed runs)")
            continue
        goals.add(
            growth <= limit,
            f"list growth, {c.label}: {rows:g}x the rows took {growth:.2f}x the time "
            f"(goal <= {limit:.2f}x)",
        )
    for scenario in scenario_order(scenarios):
        rss_limit = MAX_RSS_MB if list_rows(scenario) is None else LIST_MAX_RSS_MB
        for c in scenarios.get(scenario, {}).values():
            if c.role != "ours":
                continue
            if not c.all_ok:
                goals.add(False, f"{scenario}, {c.label}: peak RSS not judged "
                                 f"({len(c.runs) - len(c.ok_runs)} of {len(c.runs)} runs failed)")
                continue
            peak = c.max_rss_mb()
            goals.add(
                peak < rss_limit,
                f"{scenario}, {c.label}: peak RSS {peak:.1f} MB, highest of all runs "
                f"(goal < {rss_limit:.0f} MB)",
            )
    return goals


def list_growth(scenarios):
    """(contender at the longest list, shortest scenario, longest scenario,
    median wall at the longest / at the shortest or None) per contender,
    when lists of two or more lengths were run."""
    lists = [n for n in scenario_order(scenarios) if list_rows(n) is not None]
    if len(lists) < 2:
        return []
    first, last = lists[0], lists[-1]
    result = []
    for cid, c in scenarios[last].items():
        short = scenarios[first].get(cid)
        growth = None
        if short is not None and c.all_ok and short.all_ok:
            growth = ratio(c.median("wall"), short.median("wall"))
        result.append((c, first, last, growth))
    return result


def print_growth(scenarios):
    rows = list_growth(scenarios)
    if not rows:
        return
    _, first, last, _ = rows[0]
    n1, n2 = list_rows(first), list_rows(last)
    print(f"list growth: {n2} rows against {n1} ({n2 / n1:g}x the rows)")
    # CPU time grows the same way on a quiet machine; on a busy one it shows
    # the growth that wall time hides.
    lines = [["contender", f"wall s at {n1}", f"wall s at {n2}", "wall x", "CPU x"]]
    for c, _, _, growth in rows:
        short = scenarios[first].get(c.id)
        cpu_growth = None
        if short is not None and c.all_ok and short.all_ok:
            cpu_growth = ratio(c.median("cpu"), short.median("cpu"))
        lines.append(
            [
                c.label,
                fmt(short.median("wall") if short else None, ".2f"),
                fmt(c.median("wall"), ".2f"),
                fmt(growth, ".2f"),
                fmt(cpu_growth, ".2f"),
            ]
        )
    print_rows(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--big-mb", type=int, default=500)
    parser.add_argument("--many-files", type=int, default=1000)
    parser.add_argument("results")
    args = parser.parse_args()

    scenarios = read_runs(args.results)
    for scenario in scenario_order(scenarios):
        print_table(scenario, scenarios[scenario], args)
    print_growth(scenarios)

    failures = [
        (scenario, c.label, r)
        for scenario, contenders in scenarios.items()
        for c in contenders.values()
        for r in c.runs
        if not r["ok"]
    ]
    if failures:
        print("Failed runs:")
        for scenario, label, r in failures:
            print(f"  {scenario}, {label}, run {r['rep']}: {r['note'] or 'failed'}")
        print()

    goals = check_goals(scenarios)
    print("Goals:")
    for line in goals.lines:
        print("  " + line)

    return 1 if failures or goals.missed else 0


if __name__ == "__main__":
    sys.exit(main())
