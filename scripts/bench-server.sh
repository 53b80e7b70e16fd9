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
server_start "$out/server/rv-sola62-server" -c "tcp://127.0.0.1:$sim_port"
/usr/bin/python3 "$root/scripts/tools/bench_server.py" "$server_scpi_port" "$server_relay_port" \
  "$direct_port" "$count"
