#!/usr/bin/env bash
# The Windows server under Wine (in the run's Wine session), against the
# simulator over TCP and over its pty mapped to a free COM port: *IDN? and a
# level from PyVISA, and the level's frame at the simulator.
# usage: test_server_wine.sh SERVER_EXE SIMULATOR
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
server=$1
SIM=$2
[ -x "$SIM" ] || { echo "host build missing: $SIM"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
. "$root/scripts/sim-session.sh"
sim_start sim && sim_map_com "$sim_pty" sim_com || exit 1
failed=0

for link in "tcp://127.0.0.1:$sim_port" "$sim_com"; do
  out=$sim_session_dir/server-$link.out
  out=${out//[:\/]/_}
  "$root/scripts/wine-run.sh" "$server" -c "$link" --scpi 127.0.0.1:0 --relay off >"$out" 2>&1 &
  pid=$!
  sim_session_pids+=($pid)
  for _ in $(seq 200); do
    grep -qs ' connected RS620042' "$out" && break
    sleep 0.1
  done
  port=$(sed -n 's/.* listening scpi 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$out" | tr -d '\r')
  answers=$(timeout 20 /usr/bin/python3 - "$port" <<'PYTHON' 2>&1
import sys, pyvisa
inst = pyvisa.ResourceManager("@py").open_resource(
    "TCPIP::127.0.0.1::%s::SOCKET" % sys.argv[1], read_termination="\n", write_termination="\n")
inst.timeout = 5000
print(inst.query("*IDN?"))
print(inst.query("TYPE V;VOLT 2.5;*OPC?"))
PYTHON
)
  expected=$'RV-SOLA62,2,RS620042,1.05\n1'
  [[ $link == tcp* ]] && side=tcp || side=pty
  level=$(grep -c " rx $side AA C1 00 00 03 01 20 00 90\$" "$sim_session_dir/sim.log")
  if [ "$answers" != "$expected" ] || [ "$level" != 1 ]; then
    printf '%s: %s (level frames: %s)\n' "$link" "$answers" "$level"
    cat "$out"
    failed=1
  fi
  stop_pid "$pid"
done
exit $failed
