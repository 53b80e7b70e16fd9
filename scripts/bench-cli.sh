#!/usr/bin/env bash
# Measures the command-line client against the simulator: the round trip of
# each command inside `run` (COUNT set commands; median and 99th percentile,
# from the client's own -v frame times) over loopback TCP and over a pty, and
# the whole-process time of `identify` (hyperfine). Builds the client and the
# simulator optimised and without sanitizers in build/bench-cli.
# usage: scripts/bench-cli.sh [COUNT]   (default 1000)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BENCH_DIR:-$root/build/bench-cli}
count=${1:-1000}
cmake -S "$root" -B "$out" -DRV_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target rv-sola62-cli rv-sola62-sim -j "$(nproc)" >/dev/null
SIM=$out/sim/rv-sola62-sim
cli=$out/cli/rv-sola62-cli

. "$root/scripts/sim-session.sh"
sim_start sim
script=$sim_session_dir/sets.txt
for i in $(seq "$count"); do echo "set $((i % 20)).$((i % 10)) --type ma"; done >"$script"

# Milliseconds from each set command's frame to its answer, as -v stamps them.
round_trips() {
  "$cli" -v -c "$1" run "$script" 2>"$sim_session_dir/frames" >/dev/null
  awk '$2 == ">" && $4 == "C1" { sent = $1 }
       $2 == "<" && $4 == "C1" { printf "%.3f\n", ($1 - sent) * 1000 }' \
    "$sim_session_dir/frames" | sort -n
}

summary() {
  awk '{ v[NR] = $1 } END {
         m = int((NR + 1) / 2); p = int(NR * 0.99 + 0.999);
         printf "%d commands: median %.3f ms, 99th percentile %.3f ms\n", NR, v[m], v[p] }'
}

echo "== round trips inside run, $count set commands"
printf "tcp  "; round_trips "tcp://127.0.0.1:$sim_port" | summary
printf "pty  "; round_trips "$sim_pty" | summary

echo "== whole process: identify"
hyperfine -N --warmup 5 --runs 200 \
  "$cli -c tcp://127.0.0.1:$sim_port identify" "$cli -c $sim_pty identify"
