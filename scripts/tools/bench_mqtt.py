"""Live records as a subscriber received them ("UNIX-TIME PAYLOAD" lines):
the rate against what the interval allows, the intervals between arrivals,
the delay from the record's own time (when the server had the live reply,
in whole ms) to the arrival, and the server's CPU share from its clock
ticks.
usage: bench_mqtt.py FILE CPU-TICKS SECONDS INTERVAL-MS"""
import datetime
import json
import os
import statistics
import sys

path, ticks, seconds, interval = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
rows = [line.rstrip("\n").split(" ", 1) for line in open(path) if " " in line]
arrived = [float(t) for t, _ in rows]
made = [datetime.datetime.fromisoformat(json.loads(p)["time"]).timestamp() for _, p in rows]
gaps = [(b - a) * 1000 for a, b in zip(arrived, arrived[1:])]
delays = [(a - m) * 1000 for a, m in zip(arrived, made)]


def percentile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * q))]


# Gaps: intervals of the run with no record (more records than intervals
# hide none), and pauses of two intervals or more between records' own times.
slots = round(seconds * 1000 / interval)
pauses = sum((b - a) * 1000 >= 2 * interval for a, b in zip(made, made[1:]))
print(f"{len(rows)} records, {len(rows) / seconds:.1f}/s; {max(0, slots - len(rows))} of {slots} "
      f"intervals without a record; {pauses} pauses of {2 * interval} ms or more")
print(f"intervals: median {statistics.median(gaps):.2f} ms, standard deviation "
      f"{statistics.pstdev(gaps):.2f} ms, 1st to 99th percentile {percentile(gaps, 0.01):.2f} to "
      f"{percentile(gaps, 0.99):.2f} ms")
print(f"delay, live reply to subscriber: median {statistics.median(delays):.2f} ms, "
      f"99th percentile {percentile(delays, 0.99):.2f} ms (0-1 ms of it is the record's whole ms)")
print(f"server CPU: {ticks / os.sysconf('SC_CLK_TCK') / seconds * 100:.2f} % of a core")
