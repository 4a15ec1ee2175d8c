#!/usr/bin/env python3
"""Prints one Markdown table from the Google Benchmark JSON files that scripts/bench.sh writes."""
import json
import re
import sys

SETTLE_TARGET_MS = 1.0      # a warm export within this of its floor
CPU_TARGET_MS = 2.0         # CPU time of a warm call below this
LISTING_TARGET_US = 20.0    # listing cost per unit
BUFFERED_TARGET_MBS = 200.0
HELD_TARGET_MS = 0.5        # a call on a held unit within this of its floor
HELD_SPEEDUP_TARGET = 12.0  # a one-exchange call on a held unit at least this many times faster than unheld
POLL_TARGET_PER_S = 200.0   # velmorGetMotorStatus polls a second on one held unit
FAIRNESS_MARGIN = 1.1       # the longest lock wait within threads times the longest call, plus 10 %


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


def held_verdict(held, unheld):
    """A one-exchange call on a held unit: within HELD_TARGET_MS of its floor and HELD_SPEEDUP_TARGET
    times faster than unheld. Any other held call: the target of every warm call."""
    wall = ms(held, "real_time")
    above = wall - held["floor_ms"]
    one_exchange = held["exchanges"] == 1
    ok = above <= (HELD_TARGET_MS if one_exchange else SETTLE_TARGET_MS) and ms(held, "cpu_time") < CPU_TARGET_MS
    if "real_time" not in unheld:
        return verdict(ok)
    speedup = ms(unheld, "real_time") / wall
    if one_exchange:
        ok = ok and speedup >= HELD_SPEEDUP_TARGET
    return f"{verdict(ok)}, {speedup:.1f}× faster than unheld"


def print_polls(rows):
    for name, entry in rows.items():
        if "error" in entry or not name.startswith("poll/"):
            continue
        rate = entry["items_per_second"]
        units = int(entry["units"])
        target = verdict(rate >= POLL_TARGET_PER_S) if units == 1 else "-"
        print(f"| {name} (held units polled in turn) | {rate:.0f} polls/s ({1e3 / rate:.2f} ms each); "
              f"{entry['updates_per_unit']:.0f} updates/s of each unit | | | | | | {target} |")


def print_fairness(rows):
    for name, entry in rows.items():
        if "error" in entry or not name.startswith("fairness/"):
            continue
        threads = int(entry["threads"])
        wait = entry["longest_wait_ms"]
        longest = entry["longest_call_ms"]
        bound = entry["bound_ms"]
        outside = entry["longest_total_ms"] - longest
        notes = {"failed": "calls failed", "unseen_starts": "calls whose start was not seen",
                 "opens": "units opened"}
        failed = "".join(f", {int(entry[key])} {text}" for key, text in notes.items()
                         if entry.get(key) and not (key == "opens" and name == "fairness/unheld"))
        print(f"| {name} ({threads} threads × {int(entry['calls']) // threads} mixed calls, 2 units) | "
              f"longest lock wait {wait:.1f} ms (from outside: {outside:.1f} ms); longest call {longest:.2f} ms{failed} | "
              f"{bound:.1f} ms | {wait / bound:.3f} | | | | {verdict(max(wait, outside) <= bound)} |")


def main(paths):
    rows = medians(paths)
    print("| Case | Median | Floor | Ratio | Above floor (in exchanges) | CPU/call | Bytes (exchanges) | Target met |")
    print("|---|---|---|---|---|---|---|---|")
    for name, entry in rows.items():
        if "error" in entry:
            print(f"| {name} | failed: {entry['error']} | | | | | | |")
            continue
        if name.startswith(("export/", "held/", "first/", "units/isMotorReady")):
            wall = ms(entry, "real_time")
            cpu = ms(entry, "cpu_time")
            floor = entry["floor_ms"]
            ratio = f"{wall / floor:.3f}" if floor > 0 else "-"
            above = wall - floor
            warm = not name.startswith("first/")
            target = verdict(above <= SETTLE_TARGET_MS and cpu < CPU_TARGET_MS) if warm else "-"
            if name.startswith("held/"):
                target = held_verdict(entry, rows.get("export/" + name[len("held/"):], {}))
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
    print_polls(rows)
    print_fairness(rows)


if __name__ == "__main__":
    main(sys.argv[1:])
