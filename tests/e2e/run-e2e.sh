#!/usr/bin/env bash
# Runs the end-to-end tests: a virtual X display, a pty pair mapped to two COM
# ports of the Wine prefix, the simulator on a free loopback port when it is
# built (and a second one whose pty vanishes after a few frames), then the
# test program under Wine. Stops what it started, by pid.
#
# usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [test program arguments...]
# Environment: WINEPREFIX (made here when unset), RV_E2E_KEEP=1 keeps the temp dir.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
e2e_exe=${1:?usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [args...]}
program=${2:?usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [args...]}
SIM=${3:-}
shift $(($# < 3 ? $# : 3))

. "$root/scripts/sim-session.sh"
run_dir=$sim_session_dir
own_prefix=""
xvfb_pid=""
socat_pid=""

cleanup() {
  # The display goes last: Wine's processes end first, while it is still there.
  [ -z "$socat_pid" ] || stop_pid "$socat_pid"
  [ -z "$own_prefix" ] || wineserver -k >/dev/null 2>&1 || true
  timeout 15 wineserver -w >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || stop_pid "$xvfb_pid"
  SIM_SESSION_KEEP=${RV_E2E_KEEP:-} sim_session_end
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$run_dir/prefix"
  own_prefix=1
  "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
fi
export WINEDEBUG=${WINEDEBUG:--all}
# A server left by an earlier test may have started without this display.
timeout 30 wineserver -w || true
start_xvfb 1280x1024x24 || exit 1

# One pty pair: the program opens one end as a COM port, the test's fake the other.
socat pty,raw,echo=0,link="$run_dir/tty-program" pty,raw,echo=0,link="$run_dir/tty-fake" \
  2>"$run_dir/socat.log" &
socat_pid=$!
for _ in $(seq 50); do
  [ -e "$run_dir/tty-program" ] && [ -e "$run_dir/tty-fake" ] && break
  sleep 0.1
done
sim_map_com "$run_dir/tty-program" RV_E2E_PROGRAM_COM || exit 1
sim_map_com "$run_dir/tty-fake" RV_E2E_FAKE_COM || exit 1
export RV_E2E_PROGRAM_COM RV_E2E_FAKE_COM

# The simulator, for tests that want a live instrument (loopback only), and one
# that closes its pty after five frames, as an unplugged adapter would.
export RV_E2E_SIM_PORT="" RV_E2E_SIM_COM="" RV_E2E_GONE_COM=""
if [ -n "$SIM" ] && [ -x "$SIM" ]; then
  sim_start sim && sim_map_com "$sim_pty" RV_E2E_SIM_COM && RV_E2E_SIM_PORT=$sim_port
  sim_start gone --drop-after 5 && sim_map_com "$gone_pty" RV_E2E_GONE_COM
fi

export RV_E2E_PROGRAM="$program"
# Our own server (it ends by itself once idle), so that what it prints on its
# way out goes to a log rather than into the test report.
wineserver </dev/null >/dev/null 2>>"$run_dir/wineserver.log" || true
mkdir -p "$run_dir/work"
export RV_E2E_TEMP="$run_dir/work"
echo "e2e: DISPLAY=$DISPLAY program=$RV_E2E_PROGRAM_COM fake=$RV_E2E_FAKE_COM" \
  "sim=${RV_E2E_SIM_PORT:-none}/${RV_E2E_SIM_COM:-none} gone=${RV_E2E_GONE_COM:-none}"

# Bounded as a whole; the test program bounds each of its own waits.
timeout 800 "$root/scripts/wine-run.sh" "$e2e_exe" "$@"
rc=$?
if [ $rc -ne 0 ] && [ -s "$run_dir/sim.log" ]; then
  echo "--- simulator log (last lines)"
  tail -n 40 "$run_dir/sim.log"
fi
exit $rc
