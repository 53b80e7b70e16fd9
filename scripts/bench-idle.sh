#!/usr/bin/env bash
# Benchmark, not a test: the CPU the program costs while it sits idle, connected
# over TCP, connected over a COM port (a pty), and disconnected, from the
# utime+stime of its process and of its wineserver over a window of SECONDS;
# then start-up against a minimal window (scripts/bench-startup.sh) when
# STARTS is not 0.
# usage: bench-idle.sh [SECONDS (60)] [STARTS (10)]   (after scripts/build.sh)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BUILD_DIR:-$root/build}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
seconds=${1:-60}
starts=${2:-10}
settle=5

SIM=$out/host/sim/rv-sola62-sim
# RV_BENCH_PROGRAM measures another build of the program with this one's driver.
program=${RV_BENCH_PROGRAM:-$out/win/rv-sola62.exe}
. "$root/scripts/sim-session.sh"
own_wine_display
sim_start instrument
sim_map_com "$instrument_pty" instrument_com
ticks=$(getconf CLK_TCK)

# pids of this prefix's processes whose command line matches $1 (our own only).
own_pids() {
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    { tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null | grep -q -- "$1" && echo "${p#/proc/}"
  done
}
cpu_ticks() {
  local sum=0 p
  for p in "$@"; do
    # Fields 14 and 15 of stat, counted after the command name's closing parenthesis.
    set -- $(sed 's/.*) //' "/proc/$p/stat" 2>/dev/null) || continue
    sum=$((sum + ${12:-0} + ${13:-0}))
  done
  echo "$sum"
}

# measure NAME CONFIG_OR_EMPTY: starts the program (connected by the demo driver
# when a config is given), waits, and prints the share of one core.
measure() {
  local name=$1 config=$2 work="$sim_session_dir/work-$1" driver_pid prog server t0 t1 p0 p1 s0 s1
  mkdir -p "$work"
  # The previous case's program must be gone, or it would be measured instead.
  for _ in $(seq 150); do
    [ -z "$(own_pids '[/\\]rv-sola62.exe')" ] && break
    sleep 0.1
  done
  printf '%b' "$config" >"$work/config.ini"
  rm -f "$work/done"
  if [ "$name" = disconnected ]; then
    (cd "$work" && exec wine "$program") >/dev/null 2>&1 &
  else
    RV_DEMO_HOLD_S=$((settle + seconds + 30)) RV_E2E_PROGRAM="$program" wine "$out/win/scripts/tools/e2e_demo.exe" \
      "$work" "$work/done" >"$work/demo.out" 2>&1 &
  fi
  driver_pid=$!
  for _ in $(seq 300); do
    [ "$name" = disconnected ] && [ -n "$(own_pids 'rv-sola62.exe' | head -n1)" ] && break
    grep -qs '^connected' "$work/demo.out" && break
    sleep 0.1
  done
  sleep "$settle"
  prog=$(own_pids '[/\\]rv-sola62.exe' | head -n1)
  server=$(own_pids wineserver | head -n1)
  [ -n "$prog" ] || { echo "$name: the program did not start" >&2; cat "$work/demo.out" >&2; return 1; }
  t0=$(date +%s%N)
  p0=$(cpu_ticks "$prog")
  s0=$(cpu_ticks "$server")
  sleep "$seconds"
  p1=$(cpu_ticks "$prog")
  s1=$(cpu_ticks "$server")
  t1=$(date +%s%N)
  awk -v n="$name" -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v t=$(((t1 - t0) / 1000000)) -v hz="$ticks" \
    'BEGIN { printf "%-13s program %5.2f %%   wineserver %5.2f %%   (%.1f s)\n", n, 100*p/hz/(t/1000), 100*s/hz/(t/1000), t/1000 }'
  if [ "$name" = disconnected ]; then
    stop_pid "$prog"
  else
    # The driver shows each page until the file appears, then exits the program.
    for _ in $(seq 100); do
      kill -0 "$driver_pid" 2>/dev/null || break
      touch "$work/done"
      sleep 0.2
    done
  fi
  stop_pid "$driver_pid"
  wait "$driver_pid" 2>/dev/null || true
  timeout 15 wineserver -w || true
}

echo "idle CPU of one core over ${seconds} s, ${settle} s after connecting"
measure tcp "[IF]\r\ntype=1\r\ncom=COM1\r\nip=2130706433\r\nport=$instrument_port\r\n"
measure serial "[IF]\r\ntype=0\r\ncom=$instrument_com\r\nip=2130706433\r\nport=10101\r\n"
measure disconnected "[IF]\r\ntype=1\r\ncom=COM1\r\nip=2130706433\r\nport=$instrument_port\r\n"

if [ "$starts" != 0 ] && [ -x "$root/scripts/bench-startup.sh" ]; then
  RV_BUILD_DIR="$out" "$root/scripts/bench-startup.sh" "$starts"
fi
