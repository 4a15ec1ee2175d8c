#!/usr/bin/env python3
"""Prints one Markdown table from the Google Benchmark JSON files that scripts/bench.sh writes."""
import json
import re
import sys

SETTLE_TARGET_MS = 1.0      # a warm export within this of its floor
CPU_TARGET_MS = 2.0         # CPU time of a warm call below this
LISTING_TARGET_US = 20.0    # listing cost per unit
BUFFERED_TARGET_MBS = 200.0


def medians(paths):
    rows = {}
    for path in paths:
        with open(path) as handle:
            for entry in json.load(handle)["benchmarks"]:
                if entry.get("run_type") == "aggregate" and entry.get("aggregate_name") != "median":
                    continue
                if entry.get("error_occurred"):
                    rows[clean(entry["run_name"])] = {"error": entry.get("error_message", "failed")}
                    continue
                rows[clean(entry["run_name"])] = entry
    return rows


def clean(name):
    return re.sub(r"/(iterations|repeats|min_time):[^/]*|/real_time", "", name)


def ms(entry, key):
    factor = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry.get("time_unit", "ns")]
    return entry[key] * factor


def duration(milliseconds):
    if abs(milliseconds) < 0.1:
        return f"{milliseconds * 1e3:.1f} µs"
    return f"{milliseconds:.2f} ms"


def verdict(ok):
    return "yes" if ok else "**no**"


def main(paths):
    rows = medians(paths)
    print("| Case | Median | Floor | Ratio | Above floor (in exchanges) | CPU/call | Bytes (exchanges) | Target met |")
    print("|---|---|---|---|---|---|---|---|")
    for name, entry in rows.items():
        if "error" in entry:
            print(f"| {name} | failed: {entry['error']} | | | | | | |")
            continue
        if name.startswith(("export/", "first/", "units/isMotorReady")):
            wall = ms(entry, "real_time")
            cpu = ms(entry, "cpu_time")
            floor = entry["floor_ms"]
            ratio = f"{wall / floor:.3f}" if floor > 0 else "-"
            above = wall - floor
            warm = not name.startswith("first/")
            target = verdict(above <= SETTLE_TARGET_MS and cpu < CPU_TARGET_MS) if warm else "-"
            exchanged = f"{int(entry['bytes'])} ({int(entry['exchanges'])})"
            inside = f" ({entry['exchange_over_ms']:+.2f} ms)" if entry["exchanges"] > 0 else ""
            print(f"| {name} | {duration(wall)} | {duration(floor)} | {ratio} | {above:+.2f} ms{inside} | "
                  f"{duration(cpu)} | {exchanged} | {target} |")
    listing = {int(n.rsplit("/", 1)[1]): e for n, e in rows.items() if n.startswith("units/getDeviceCount/") and "error" not in e}
    for units, entry in sorted(listing.items()):
        wall = ms(entry, "real_time") * 1e3
        cpu = ms(entry, "cpu_time") * 1e3
        print(f"| units/getDeviceCount/{units} | {wall:.1f} µs | 0 | - | +{wall:.1f} µs | {cpu:.1f} µs | 0 | - |")
    if 1 in listing and 99 in listing:
        slope = (ms(listing[99], "real_time") - ms(listing[1], "real_time")) * 1e3 / 98
        largest = ms(listing[99], "real_time") * 1e3 / 99
        print(f"| listing cost a unit (slope 1→99 units; 99 units / 99) | {slope:.2f} µs; {largest:.2f} µs | | | | | | "
              f"{verdict(max(slope, largest) < LISTING_TARGET_US)} |")
    for name, entry in rows.items():
        if "error" in entry:
            continue
        if name.startswith("bufferedReadInto/"):
            rate = entry["bytes_per_second"] / 1e6
            cpu_rate = entry["bytes_per_iteration"] / ms(entry, "cpu_time") / 1e3
            print(f"| {name} (bytes a readInto) | {rate:.0f} MB/s wall, {cpu_rate:.0f} MB/s CPU | | | | "
                  f"{ms(entry, 'cpu_time'):.2f} ms per {entry['bytes_per_iteration'] / 1e6:.2f} MB | | "
                  f"{verdict(rate >= BUFFERED_TARGET_MBS)} |")
        elif name.startswith("executeRoundTrips/"):
            rate = entry["items_per_second"]
            per = 1e6 / rate
            print(f"| {name} (reply data bytes) | {rate:,.0f} round trips/s ({per:.1f} µs each) | | | | {ms(entry, 'cpu_time') * 1e3:.1f} µs | | - |")


if __name__ == "__main__":
    main(sys.argv[1:])
