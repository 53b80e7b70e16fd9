#!/usr/bin/env bash
# Three programs on one instrument: the server (host build) on the
# simulator's pty; the real window under Wine on its relay (the end-to-end
# case ThreePrograms); the command-line client on the relay and PyVISA on
# SCPI from here. The two sides take turns through files in one folder.
# usage: test_three_programs.sh E2E_TESTS_EXE PROGRAM_EXE SERVER SIMULATOR CLI SESSION_DIR
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
e2e=$1
export RV_E2E_PROGRAM=$2
server=$3
SIM=$4
cli=$5
session=$6
for program in "$server" "$SIM" "$cli"; do
  [ -x "$program" ] || { echo "host build missing: $program"; exit 1; }
done
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
. "$root/scripts/sim-session.sh"
sim_start sim && server_start "$server" -c "$sim_pty" || exit 1
turns=$sim_session_dir/turns
mkdir -p "$turns"

RV_SERVER_RELAY_PORT=$server_relay_port RV_SERVER_TURNS=$turns timeout 150 \
  "$root/tests/wine-session.sh" run "$session" "$e2e" --gtest_filter='ThreePrograms.*' \
  >"$sim_session_dir/e2e.out" 2>&1 &
window=$!
sim_session_pids+=($window)

timeout 140 /usr/bin/python3 - "$turns" "$server_scpi_port" "$server_relay_port" "$cli" \
  "$sim_session_dir/sim.log" <<'PYTHON'
import os, subprocess, sys, time
import pyvisa

turns, scpi, relay, cli, log = sys.argv[1:6]
failed = []


def wait_turn(name, seconds):
    end = time.monotonic() + seconds
    while not os.path.exists(os.path.join(turns, name)):
        if time.monotonic() > end:
            sys.exit("the window did not get to " + name)
        time.sleep(0.1)


def frames():
    return [l.split(" rx pty ")[1].strip() for l in open(log) if " rx pty AA C1 " in l]


wait_turn("window-connected", 90)
run = subprocess.run([cli, "-c", "tcp://127.0.0.1:" + relay, "set", "1.5", "--type", "v"],
                     capture_output=True, text=True, timeout=20)
if run.returncode != 0 or frames()[-1:] != ["AA C1 00 00 03 01 13 33 B6"]:
    failed.append("the client's set: %s %s" % (run.stderr, frames()[-1:]))
inst = pyvisa.ResourceManager("@py").open_resource(
    "TCPIP::127.0.0.1::%s::SOCKET" % scpi, read_termination="\n", write_termination="\n")
inst.timeout = 5000
if inst.query("TYPE V;VOLT 3.21;*OPC?") != "1":
    failed.append("PyVISA's level")
open(os.path.join(turns, "level-set"), "w").close()
wait_turn("window-off", 30)
time.sleep(0.2)
if frames()[-1:] != ["AA C1 00 00 03 01 00 00 70"]:
    failed.append("the window's OFF: %s" % frames()[-1:])
if inst.query("*IDN?") != "RV-SOLA62,2,RS620042,1.05" or inst.query("SYST:ERR?") != '0,"No error"':
    failed.append("PyVISA after the others")
open(os.path.join(turns, "host-checked"), "w").close()
print("\n".join(failed))
sys.exit(1 if failed else 0)
PYTHON
host=$?
wait "$window"
window_status=$?
if [ $host != 0 ] || [ $window_status != 0 ]; then
  echo "--- window side"
  cat "$sim_session_dir/e2e.out"
  echo "--- server"
  cat "$sim_session_dir/server.out"
  exit 1
fi
