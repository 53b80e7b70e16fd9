#!/usr/bin/env bash
# One Wine session for a whole CTest run of the Windows build: a virtual X
# display, a Windows process that does nothing but keep the prefix's server
# and its system processes running, so that each test case's program starts
# in a fraction of a second, and the simulators that the transport and
# end-to-end tests talk to, their ptys mapped to COM ports of the prefix.
# Started outside CTest's pipes, which a server started by a test case would
# hold open until it ends. Stops what it started, by pid.
#
# usage: wine-session.sh start DIR [SIMULATOR] | run DIR EXE [ARGS...] | stop DIR
#   DIR/env holds DISPLAY and the simulators' ports for the programs that
#   run starts under Wine.
# Environment: WINEPREFIX (the test command makes one per run; without one,
# that of scripts/wine-run.sh), SIM_SESSION_KEEP=1 keeps DIR (logs, the
# end-to-end tests' working directories).
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${2:?usage: wine-session.sh start DIR [SIMULATOR] | run DIR EXE [ARGS...] | stop DIR}
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix} WINEDEBUG=${WINEDEBUG:--all}
. "$root/scripts/sim-session.sh"
trap - EXIT
rm -rf "$sim_session_dir"
sim_session_dir=$dir

# The simulators, each on a loopback port and a pty: for the end-to-end tests
# an instrument and one whose pty vanishes after five frames; for the
# transport tests a loopback plug, one whose pty vanishes after its first
# answer, and one that never reads; for both, one that reads nothing for 5 s
# after the three frames of each identification. A pty vanishes as an
# unplugged adapter's would, once in a simulator's life.
declare -A unplugs_after=([gone]=5 [unplugged]=1)
stall_ms=5000
start_unplugging() {
  sim_start "$1" --drop-after "${unplugs_after[$1]}"
}
start_simulators() {
  sim_start sim && sim_map_com "$sim_pty" RV_E2E_SIM_COM &&
    start_unplugging gone && sim_map_com "$gone_pty" RV_E2E_GONE_COM &&
    sim_start echo --echo && sim_map_com "$echo_pty" RV_ECHO_COM &&
    start_unplugging unplugged && sim_map_com "$unplugged_pty" RV_UNPLUGGED_COM &&
    sim_start stalled --stall && sim_map_com "$stalled_pty" RV_STALLED_COM &&
    sim_start stalls --stall-after 3 --stall-for "$stall_ms" &&
    sim_map_com "$stalls_pty" RV_STALLS_COM || return 1
  echo "export RV_E2E_SIM_COM=$RV_E2E_SIM_COM RV_E2E_GONE_COM=$RV_E2E_GONE_COM" \
    "RV_ECHO_COM=$RV_ECHO_COM RV_ECHO_TCP_PORT=$echo_port RV_UNPLUGGED_COM=$RV_UNPLUGGED_COM" \
    "RV_STALLED_COM=$RV_STALLED_COM RV_STALLS_COM=$RV_STALLS_COM RV_STALL_MS=$stall_ms" >>"$dir/env"
}

case "$1" in
  start)
    # A session still running here (a fixture started again) ends first.
    [ ! -f "$dir/state" ] || "$0" stop "$dir"
    mkdir -p "$dir/work"
    [ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
    # A server left by an earlier run may have started without this display.
    timeout 30 wineserver -w || true
    start_xvfb 1280x1024x24 || exit 1
    printf 'export DISPLAY=%q RV_E2E_TEMP=%q\n' "$DISPLAY" "$dir/work" >"$dir/env"
    rm -f "$dir/hold"
    mkfifo "$dir/hold"
    "$root/scripts/wine-run.sh" cmd.exe <"$dir/hold" >"$dir/wine.log" 2>&1 &
    holder_pid=$!
    sleep 100000 >"$dir/hold" 2>/dev/null </dev/null &
    feeder_pid=$!
    # Ready once the prefix answers a program of its own.
    timeout 60 "$root/scripts/wine-run.sh" cmd.exe /c exit </dev/null >>"$dir/wine.log" 2>&1
    status=0
    SIM=${3:-}
    [ ! -x "$SIM" ] || start_simulators || status=1
    {
      printf 'xvfb_pid=%q holder_pid=%q feeder_pid=%q SIM=%q\n' "$xvfb_pid" "$holder_pid" \
        "$feeder_pid" "$SIM"
      echo "sim_session_pids=(${sim_session_pids[*]:-}) sim_session_links=()"
      for link in "${sim_session_links[@]}"; do printf 'sim_session_links+=(%q)\n' "$link"; done
    } >"$dir/state"
    exit $status
    ;;
  run)
    . "$dir/env"
    . "$dir/state"
    # A case run again (ctest --repeat) gets a new one of a vanished pty, at its COM port.
    for name in "${!unplugs_after[@]}"; do
      if [ -x "$SIM" ] && [ ! -e "$dir/$name-pty" ] && start_unplugging "$name"; then
        echo "sim_session_pids+=(${sim_session_pids[-1]})" >>"$dir/state"
      fi
    done
    timeout 800 "$root/scripts/wine-run.sh" "${@:3}" && exit 0
    status=$?
    echo "--- simulator logs (last lines)"
    tail -n 20 "$dir"/{sim,gone,echo,unplugged,stalled,stalls}.log
    exit $status
    ;;
  stop)
    [ -f "$dir/state" ] || exit 0
    . "$dir/state"
    rm -f "$dir/state" "$dir/env" "$dir/hold"
    # All that may go at once, told at once: an orphan can take a while to be reaped.
    kill "$feeder_pid" "$holder_pid" "${sim_session_pids[@]}" 2>/dev/null
    stop_pid "$feeder_pid"
    stop_pid "$holder_pid"
    # The display goes last: Wine's processes end first, while it is still there.
    timeout 15 wineserver -w || true
    sim_session_end
    stop_pid "$xvfb_pid"
    ;;
esac
