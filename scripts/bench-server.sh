#!/usr/bin/env bash
# Measures the server against the simulator over loopback TCP: the SCPI round
# trip of `VOLT x;*OPC?`, the relay's round trip of 0xC1 against the same
# command sent straight to a second simulator, and 8 clients at once. Builds
# the server and the simulator optimised and without sanitizers in
# build/bench-server.
# usage: scripts/bench-server.sh [COUNT]   (default 1000)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BENCH_DIR:-$root/build/bench-server}
count=${1:-1000}
cmake -S "$root" -B "$out" -DRV_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target rv-sola62-server rv-sola62-sim -j "$(nproc)" >/dev/null
SIM=$out/sim/rv-sola62-sim

. "$root/scripts/sim-session.sh"
sim_start sim
sim_start direct
"$out/server/rv-sola62-server" -c "tcp://127.0.0.1:$sim_port" --scpi 127.0.0.1:0 \
  --relay 127.0.0.1:0 >"$sim_session_dir/server.out" 2>&1 &
sim_session_pids+=($!)
for _ in $(seq 100); do
  grep -qs ' connected ' "$sim_session_dir/server.out" && break
  sleep 0.1
done
port_of() { sed -n "s/.* listening $1 127\.0\.0\.1:\([0-9]*\)$/\1/p" "$sim_session_dir/server.out"; }
/usr/bin/python3 "$root/scripts/tools/bench_server.py" "$(port_of scpi)" "$(port_of relay)" \
  "$direct_port" "$count"
