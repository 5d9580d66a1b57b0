#!/usr/bin/env python3
"""Prints the word store's figures beside their floors, from the JSON that
store_bench writes with --benchmark_out: nanoseconds per line (dictionary)
or per record (progress file), the floor's, and the ratio, in wall-clock
and in processor time.

    bench-ratios.py <store_bench JSON>
"""
import json
import re
import sys

PAIRS = [
    ("dictionary load", "BM_LoadDictionary", "BM_DictionaryFloor", "read + split into lines"),
    ("progress load", "BM_LoadProgress", "BM_LoadProgressFloor", "plain read"),
    ("progress save", "BM_SaveProgress", "BM_SaveProgressFloorSynced", "plain write + fsync"),
    ("progress save", "BM_SaveProgress", "BM_SaveProgressFloor", "plain write, no fsync"),
    ("another PC's save merged", "BM_MergeOtherPcSave", "BM_LoadProgressFloor", "plain read"),
    ("review log replay", "BM_ReplayReviewLog", "BM_ReviewLogFloor", "plain read"),
    ("生词本 import", "BM_ImportWordList", "BM_ImportFloor", "plain read"),
]


def main():
    results = {}
    for run in json.load(open(sys.argv[1]))["benchmarks"]:
        match = re.match(r"(BM_\w+)/(\d+)", run["name"])
        if match and "ns_per_line" in run and run.get("run_type", "iteration") == "iteration":
            results[(match.group(1), int(match.group(2)))] = (run["ns_per_line"], run["cpu_time"])
    rows = []
    for label, name, floor, floor_label in PAIRS:
        for (bench, size), value in sorted(results.items()):
            if bench == name and (floor, size) in results:
                (value, cpu), (base, base_cpu) = value, results[(floor, size)]
                unit = "MB" if label.startswith("生词本") else "lines" if label.startswith("dictionary") else "records"
                rows.append((f"{label}, {size:,} {unit}", f"{value:.1f}", f"{base:.1f}", floor_label,
                             f"{value / base:.2f}x", f"{cpu / base_cpu:.2f}x"))
    header = ("figure", "ns/line", "floor", "floor is", "ratio", "CPU ratio")
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    line = lambda row: " | ".join(cell.ljust(w) if i in (0, 3) else cell.rjust(w)
                                  for i, (cell, w) in enumerate(zip(row, widths)))
    print(line(header))
    print("-+-".join("-" * w for w in widths))
    for row in rows:
        print(line(row))
    print("ns/line: wall-clock time per line or record; ratio: figure / floor; CPU ratio: the same with the")
    print("processor time of the benchmark's thread, less disturbed by other work on a shared machine.")
    for run in json.load(open(sys.argv[1]))["benchmarks"]:
        if "peak_x_file" in run and run.get("run_type", "iteration") == "iteration":
            print(f"{run['name']}: {run['MB_per_s']:.1f} MB/s, heap peak {run['peak_MB']:.1f} MB "
                  f"= {run['peak_x_file']:.2f}x the file (at most 4x)")


if __name__ == "__main__":
    main()
