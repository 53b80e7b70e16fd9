#!/usr/bin/env bash
# Measures the command round trip (SendCommandAndWait) over loopback TCP, with
# and without TCP_NODELAY, and over a pty COM port, against the simulator.
# usage: scripts/bench-latency.sh [COUNT]   (needs a finished scripts/build.sh)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BUILD_DIR:-$root/build}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
count=${1:-500}
SIM=$out/host/sim/rv-sola62-sim
bench=$out/win/scripts/tools/transport_latency.exe
[ -x "$SIM" ] && [ -f "$bench" ] || { echo "build first: $SIM, $bench"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null

. "$root/scripts/sim-session.sh"
sim_start sim
sim_map_com "$sim_pty" sim_com
run() { timeout 300 "$root/scripts/wine-run.sh" "$bench" "$@"; }
run tcp "$sim_port" "$count"
run tcp "$sim_port" "$count" --nodelay
run serial "$sim_com" "$count"
run tcp "$sim_port" "$count" --live
run tcp "$sim_port" "$count" --live --nodelay
run serial "$sim_com" "$count" --live
