#!/usr/bin/env python3
"""Ratio tables for the string hasher benchmarks, from Google Benchmark's JSON.

  hash_ratios.py [--time real|cpu] [--no-targets] result.json [more.json ...]

Reads the output of hash_bench or hash_bench_paths, run with repetitions, e.g.

  build/bench/hash_bench_paths --benchmark_repetitions=5 \\
      --benchmark_enable_random_interleaving=true \\
      --benchmark_out=/tmp/hash.json --benchmark_out_format=json

Benchmark names are "<hasher>/<variant>/<length>": variant "plain" is the
per-character loop that defines the hasher, every other variant is a fast
implementation ("library", or a forced code path: "portable", "sse2",
"avx2"); "std_hash/string_view/<length>" is std::hash<std::string_view>.

For every hasher, fast variant and length it prints, as Markdown tables:
the median time of the fast variant and of the plain loop, the speed-up over
the plain loop and over std::hash (time of the other / time of the fast
variant, so above 1 means faster), each as the median over repetitions with
the spread (lowest and highest), and for keys up to 100 bytes the extra time
against the plain loop. Repetition k of one benchmark is paired with repetition k of the other.
Then it checks the performance targets on the medians.
"""
import argparse
import collections
import json
import statistics
import sys

# (hasher, variants the target applies to, length, lowest median speed-up
# over the plain loop, description)
SPEEDUP_TARGETS = [
    ("hasher1", None, 1000, 20.0, "hasher 1: at least 20x the plain loop at 1 KiB"),
    ("hasher1", None, 65536, 1000.0, "hasher 1: over 1000x the plain loop at 64 KiB"),
    ("hasher3", ("sse2",), 1000, 10.0, "hasher 3, baseline x86-64: at least 10x at 1 KiB"),
    ("hasher3", ("sse2",), 65536, 25.0, "hasher 3, baseline x86-64: at least 25x at 64 KiB"),
    ("hasher2", ("avx2", "library"), 65536, 15.0, "hasher 2 with AVX2: at least 15x at 64 KiB"),
]
# Keys up to this length may cost at most this much more than the plain loop.
SHORT_KEY_LENGTH = 32
SHORT_KEY_EXTRA_NS = 1.0
# The extra-time column is shown up to this length; beyond, only ratios matter.
EXTRA_TIME_LENGTH = 100

TIME_UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def load(paths, field):
    """{(hasher, variant, length): [(repetition index, ns per iteration)]}"""
    runs = collections.defaultdict(list)
    for path in paths:
        with open(path) as f:
            data = json.load(f)
        for b in data["benchmarks"]:
            if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
                continue
            parts = b.get("run_name", b["name"]).split("/")
            if len(parts) != 3:
                continue
            try:
                length = int(parts[2])
            except ValueError:
                continue
            ns = b[field] * TIME_UNIT_NS[b.get("time_unit", "ns")]
            key = (parts[0], parts[1], length)
            runs[key].append((b.get("repetition_index", len(runs[key])), ns))
    return {key: [ns for _, ns in sorted(values)] for key, values in runs.items()}


def paired_ratios(numerator, denominator):
    return [a / b for a, b in zip(numerator, denominator) if b > 0]


def spread(values, digits):
    if not values:
        return "-"
    fmt = "{:.%df}" % digits
    med = fmt.format(statistics.median(values))
    return "%s [%s-%s]" % (med, fmt.format(min(values)), fmt.format(max(values)))


def ratio_digits(values):
    return 0 if values and statistics.median(values) >= 100 else 2


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("json", nargs="+")
    parser.add_argument("--time", choices=("real", "cpu"), default="real",
                        help="which time of each run to compare (default: real)")
    parser.add_argument("--no-targets", action="store_true", help="skip the target checks")
    args = parser.parse_args()
    runs = load(args.json, args.time + "_time")
    if not runs:
        sys.exit("no hasher benchmarks with names <hasher>/<variant>/<length> in the input")

    hashers = sorted({h for h, _, _ in runs if h.startswith("hasher")})
    lengths = sorted({n for _, _, n in runs})
    medians = {}
    for hasher in hashers:
        variants = sorted({v for h, v, _ in runs if h == hasher and v != "plain"})
        for variant in variants:
            print("\n### %s, %s (%s time; median [lowest-highest] over repetitions)\n"
                  % (hasher, variant, args.time))
            print("| length | %s ns | plain ns | speed-up over plain | speed-up over std::hash "
                  "| extra ns over plain |" % variant)
            print("|---:|---:|---:|---:|---:|---:|")
            for n in lengths:
                fast = runs.get((hasher, variant, n))
                plain = runs.get((hasher, "plain", n))
                if not fast:
                    continue
                std = runs.get(("std_hash", "string_view", n), [])
                vs_plain = paired_ratios(plain, fast) if plain else []
                vs_std = paired_ratios(std, fast)
                extra = [a - b for a, b in zip(fast, plain)] if plain else []
                shown_extra = extra if n <= EXTRA_TIME_LENGTH else []
                if vs_plain:
                    medians[(hasher, variant, n)] = (statistics.median(vs_plain),
                                                     statistics.median(extra))
                print("| %d | %.2f | %s | %s | %s | %s |" % (
                    n, statistics.median(fast),
                    "%.2f" % statistics.median(plain) if plain else "-",
                    spread(vs_plain, ratio_digits(vs_plain)),
                    spread(vs_std, ratio_digits(vs_std)),
                    spread(shown_extra, 2)))

    if args.no_targets:
        return
    print("\n### Targets (on medians)\n")
    for hasher, only, n, lowest, text in SPEEDUP_TARGETS:
        for (h, variant, length), (speedup, _) in sorted(medians.items()):
            if h != hasher or length != n or (only is not None and variant not in only):
                continue
            verdict = "met" if speedup >= lowest else "NOT met"
            print("- %s [%s]: %.1fx, %s (%+.0f%% against the target)"
                  % (text, variant, speedup, verdict, 100.0 * (speedup / lowest - 1.0)))
    worst = {}
    for (h, variant, length), (_, extra) in medians.items():
        if length > SHORT_KEY_LENGTH:
            continue
        if (h, variant) not in worst or extra > worst[(h, variant)][0]:
            worst[(h, variant)] = (extra, length)
    for (h, variant), (extra, length) in sorted(worst.items()):
        verdict = "met" if extra <= SHORT_KEY_EXTRA_NS else "NOT met"
        print("- %s [%s]: keys of 0 to %d bytes at most %.1f ns slower than the plain loop: "
              "worst %+.2f ns at length %d, %s"
              % (h, variant, SHORT_KEY_LENGTH, SHORT_KEY_EXTRA_NS, extra, length, verdict))


if __name__ == "__main__":
    main()
