#!/usr/bin/env bash
# Benchmark, not a test: start to visible window of the program against a
# minimal Win32 window (a class, a 460x660 window, a message loop), started in
# turns under one Wine session on a virtual display; medians of COUNT starts.
# usage: bench-startup.sh [COUNT (40)]   (after scripts/build.sh)
# RV_BENCH_PROGRAM measures another build of the program.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BUILD_DIR:-$root/build}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
count=${1:-40}
program=${RV_BENCH_PROGRAM:-$out/win/rv-sola62.exe}
bench=$out/win/scripts/tools
[ -f "$program" ] && [ -f "$bench/startup_probe.exe" ] || { echo "build first: $bench" >&2; exit 1; }
. "$root/scripts/sim-session.sh"
own_wine_display
work="$sim_session_dir/work"
mkdir -p "$work"
# Pointing at loopback; the warm-up start completes the file, as a user's is.
printf '%b' "[IF]\r\ntype=1\r\ncom=COM1\r\nip=2130706433\r\nport=10101\r\n" >"$work/config.ini"
cp "$program" "$work/rv-sola62.exe"
cp "$bench/minimal_window.exe" "$work/"
win() { winepath -w "$1" 2>/dev/null; }
timeout 600 wine "$bench/startup_probe.exe" "$(win "$work/minimal_window.exe")" \
  "$(win "$work/rv-sola62.exe")" "$count" "$(win "$work")"
