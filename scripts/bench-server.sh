#!/usr/bin/env bash
# Measures the server against the simulator over loopback TCP: the SCPI round
# trip of `VOLT x;*OPC?`, the relay's round trip of 0xC1 against the same
# command sent straight to a second simulator, and 8 clients at once. Builds
# the server and the simulator optimised and without sanitizers in
# build/bench-server.
# With mqtt: live records through a broker at --mqtt-interval 10 for SECONDS
# (default 60): their rate, the jitter of their arrival, the delay from the
# live reply at the server (the record's time) to a subscriber, and the
# server's CPU share.
# usage: scripts/bench-server.sh [COUNT]   (default 1000)
#        scripts/bench-server.sh mqtt [SECONDS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BENCH_DIR:-$root/build/bench-server}
count=${1:-1000}
cmake -S "$root" -B "$out" -DRV_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out" --target rv-sola62-server rv-sola62-sim -j "$(nproc)" >/dev/null
SIM=$out/sim/rv-sola62-sim

. "$root/scripts/sim-session.sh"
sim_start sim
if [ "${1:-}" = mqtt ]; then
  seconds=${2:-60}
  broker_start
  server_start "$out/server/rv-sola62-server" -c "tcp://127.0.0.1:$sim_port" \
    --mqtt "mqtt://127.0.0.1:$broker_port" --mqtt-interval 10
  server=${sim_session_pids[-1]}
  mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t 'rv-sola62/+/live' -F '%U %p' \
    >"$sim_session_dir/live.log" 2>/dev/null &
  sim_session_pids+=($!)
  wait_until 10 grep -q . "$sim_session_dir/live.log"
  cpu() { awk '{ print $14 + $15 }' "/proc/$server/stat"; }
  lines=$(wc -l <"$sim_session_dir/live.log")
  ticks=$(cpu)
  sleep "$seconds"
  ticks=$(($(cpu) - ticks))
  # The whole records that came in the window.
  tail -n +"$((lines + 1))" "$sim_session_dir/live.log" | head -n -1 >"$sim_session_dir/window.log"
  echo "== live records through the broker at --mqtt-interval 10 for $seconds s"
  /usr/bin/python3 "$root/scripts/tools/bench_mqtt.py" "$sim_session_dir/window.log" "$ticks" \
    "$seconds" 10
  exit 0
fi
sim_start direct
server_start "$out/server/rv-sola62-server" -c "tcp://127.0.0.1:$sim_port"
/usr/bin/python3 "$root/scripts/tools/bench_server.py" "$server_scpi_port" "$server_relay_port" \
  "$direct_port" "$count"
