#!/usr/bin/env python3
"""Ratio tables against a peer, from Google Benchmark JSON run with repetitions.

  peer_ratios.py result.json SUBJECT PEER [PEER ...]

Benchmark names are "<operation>/<implementation>[/<argument>]". For every
operation and argument measured for SUBJECT and for a PEER, prints
time(SUBJECT) / time(PEER) as the median of the per-repetition ratios
(repetition k paired with repetition k) with the lowest and highest ratio, so
below 1 means SUBJECT is faster. Several peers give one column each.

For the tree benchmarks it also prints the library's own share on the warm
tree: erase_insert_warm minus descent_warm (the container's descent), per
implementation, and the ratio of those shares.

Examples:
  peer_ratios.py tree.json kel_std libstdc++ boost
  peer_ratios.py memory.json kel_std new+memset std::string 'char[]'
"""
import collections
import json
import statistics
import sys


def load(path):
    runs = collections.defaultdict(list)
    with open(path) as f:
        data = json.load(f)
    for b in data["benchmarks"]:
        if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
            continue
        # Benchmarks timed by hand carry a "manual_time" suffix, and those with
        # a fixed iteration count an "iterations:N" part: not arguments.
        parts = [p for p in b.get("run_name", b["name"]).split("/")
                 if p not in ("manual_time", "real_time") and not p.startswith("iterations:")]
        if len(parts) < 2:
            continue
        op, impl, arg = parts[0], parts[1], "/".join(parts[2:])
        runs[(op, arg, impl)].append(b["real_time"])
    return runs


def ratio_cell(subject, peer):
    n = min(len(subject), len(peer))
    if n == 0:
        return "", None
    ratios = [subject[i] / peer[i] for i in range(n)]
    median = statistics.median(ratios)
    return f"{median:.3f} [{min(ratios):.3f}–{max(ratios):.3f}]", median


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    path, subject, peers = sys.argv[1], sys.argv[2], sys.argv[3:]
    runs = load(path)
    keys = sorted({(op, arg) for op, arg, impl in runs if impl == subject},
                  key=lambda k: (k[0], float(k[1]) if k[1].replace(".", "").isdigit() else 0))
    print(f"| operation | N | {subject} median ns | " + " | ".join(f"{subject} / {p}" for p in peers) + " |")
    print("|---|---:|---:|" + "---|" * len(peers))
    for op, arg in keys:
        own = runs[(op, arg, subject)]
        cells = [ratio_cell(own, runs.get((op, arg, p), []))[0] for p in peers]
        if not any(cells):
            continue
        print(f"| {op} | {arg} | {statistics.median(own):.1f} | " + " | ".join(cells) + " |")

    # The library's share on the warm tree.
    impls = [subject] + peers
    shares = {}
    for impl in impls:
        total = runs.get(("erase_insert_warm", "", impl))
        descent = runs.get(("descent_warm", "", impl))
        if total and descent:
            n = min(len(total), len(descent))
            shares[impl] = [total[i] - descent[i] for i in range(n)]
    if subject in shares:
        print()
        print("| warm tree, erase + insert without the descent | ns per pair | ratio to " + subject + " |")
        print("|---|---:|---:|")
        for impl in impls:
            if impl in shares:
                cell, _ = ratio_cell(shares[subject], shares[impl])
                print(f"| {impl} | {statistics.median(shares[impl]):.1f} | "
                      f"{'' if impl == subject else subject + ' / ' + impl + ' = ' + cell} |")


if __name__ == "__main__":
    main()
