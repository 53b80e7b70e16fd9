#!/usr/bin/env bash
# Runs the end-to-end tests: a virtual X display, two pty pairs mapped to COM
# ports of the Wine prefix, the simulator on a free loopback port when it is
# built, then the test program under Wine. Stops what it started, by pid.
#
# usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [test program arguments...]
# Environment: WINEPREFIX (made here when unset), RV_E2E_KEEP=1 keeps the temp dir.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
e2e_exe=${1:?usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [args...]}
program=${2:?usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [args...]}
simulator=${3:-}
shift $(($# < 3 ? $# : 3))

run_dir=$(mktemp -d /tmp/rv-e2e.XXXXXX)
pids=()
links=()
own_prefix=""
xvfb_pid=""

stop_pid() {
  kill "$1" 2>/dev/null || true
  # Bounded: a process that ignores TERM gets KILL after 3 s.
  for _ in $(seq 30); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
}

cleanup() {
  # The display goes last: Wine's processes end first, while it is still there.
  local pid
  for pid in "${pids[@]}"; do
    [ "$pid" = "$xvfb_pid" ] || stop_pid "$pid"
  done
  for link in "${links[@]}"; do rm -f "$link"; done
  if [ -n "$own_prefix" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  timeout 15 wineserver -w >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || stop_pid "$xvfb_pid"
  if [ "${RV_E2E_KEEP:-}" = 1 ]; then
    echo "kept $run_dir"
  else
    rm -rf "$run_dir"
  fi
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

# Virtual display: Xvfb picks a free number and tells it through fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run_dir/display" \
  >"$run_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$run_dir/display" ] && break
  sleep 0.1
done
if [ ! -s "$run_dir/display" ]; then
  echo "Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$run_dir/display")"

# The first free comN at or above $1 in the prefix.
free_com() {
  local n=$1
  while [ -e "$WINEPREFIX/dosdevices/com$n" ] || [ -L "$WINEPREFIX/dosdevices/com$n" ]; do
    n=$((n + 1))
  done
  echo "$n"
}

# One pty pair: the program opens one end as COMn, the test's fake the other.
socat pty,raw,echo=0,link="$run_dir/tty-program" pty,raw,echo=0,link="$run_dir/tty-fake" \
  2>"$run_dir/socat.log" &
pids+=($!)
for _ in $(seq 50); do
  [ -e "$run_dir/tty-program" ] && [ -e "$run_dir/tty-fake" ] && break
  sleep 0.1
done
n=$(free_com 20)
ln -s "$run_dir/tty-program" "$WINEPREFIX/dosdevices/com$n"
links+=("$WINEPREFIX/dosdevices/com$n")
export RV_E2E_PROGRAM_COM="COM$n"
n=$(free_com $((n + 1)))
ln -s "$run_dir/tty-fake" "$WINEPREFIX/dosdevices/com$n"
links+=("$WINEPREFIX/dosdevices/com$n")
export RV_E2E_FAKE_COM="COM$n"

# The simulator, for tests that want a live instrument (loopback only).
export RV_E2E_SIM_PORT="" RV_E2E_SIM_COM=""
if [ -n "$simulator" ] && [ -x "$simulator" ]; then
  "$simulator" --tcp-port 0 --pty-link "$run_dir/tty-sim" --log "$run_dir/sim.log" \
    >"$run_dir/sim.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    grep -q 'listening tcp 127.0.0.1:' "$run_dir/sim.out" 2>/dev/null && break
    sleep 0.1
  done
  RV_E2E_SIM_PORT=$(sed -n 's/.*listening tcp 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$run_dir/sim.out" |
    head -n1)
  if [ -e "$run_dir/tty-sim" ]; then
    n=$(free_com $((n + 1)))
    ln -s "$run_dir/tty-sim" "$WINEPREFIX/dosdevices/com$n"
    links+=("$WINEPREFIX/dosdevices/com$n")
    RV_E2E_SIM_COM="COM$n"
  fi
fi

export RV_E2E_PROGRAM="$program"
# Our own server (it ends by itself once idle), so that what it prints on its
# way out goes to a log rather than into the test report.
wineserver </dev/null >/dev/null 2>>"$run_dir/wineserver.log" || true
mkdir -p "$run_dir/work"
export RV_E2E_TEMP="$run_dir/work"
echo "e2e: DISPLAY=$DISPLAY program=$RV_E2E_PROGRAM_COM fake=$RV_E2E_FAKE_COM" \
  "sim=${RV_E2E_SIM_PORT:-none}/${RV_E2E_SIM_COM:-none}"

# Bounded as a whole; the test program bounds each of its own waits.
timeout 800 "$root/scripts/wine-run.sh" "$e2e_exe" "$@"
rc=$?
if [ $rc -ne 0 ] && [ -s "$run_dir/sim.log" ]; then
  echo "--- simulator log (last lines)"
  tail -n 40 "$run_dir/sim.log"
fi
exit $rc
