#!/usr/bin/env bash
# Runs the end-to-end tests: a virtual X display, a pty pair mapped to two COM
# ports of the Wine prefix, the simulator on a free loopback port when it is
# built (and a second one whose pty vanishes after a few frames), then the
# test program under Wine. Stops what it started, by pid.
#
# usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [test program arguments...]
#   or, set up once for many runs of the test program (CTest: one per case):
#        run-e2e.sh --start DIR PROGRAM_EXE [SIMULATOR]
#        run-e2e.sh --case DIR E2E_EXE [test program arguments...]
#        run-e2e.sh --stop DIR
# Environment: WINEPREFIX (made here when unset), RV_E2E_KEEP=1 keeps the temp dir,
# RV_WINE_SESSION: the folder of a running tests/wine-session.sh, whose display
# and server are then used.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

# start DIR PROGRAM_EXE [SIMULATOR]: everything in DIR, left running; what
# the test program needs is in DIR/env, what stop undoes in DIR/state.
start() {
  local dir=$1 program=$2 own_prefix="" xvfb_pid="" socat_pid="" shared="" name
  SIM=${3:-}
  mkdir -p "$dir"
  dir=$(cd "$dir" && pwd)
  . "$root/scripts/sim-session.sh"
  trap - EXIT
  # Written after each step, so that stop undoes a start that failed half way.
  save_state() {
    {
      printf 'session_dir=%q own_prefix=%q xvfb_pid=%q socat_pid=%q shared=%q\n' \
        "$sim_session_dir" "$own_prefix" "$xvfb_pid" "$socat_pid" "$shared"
      printf 'sim_pids=(%s)\nlinks=()\n' "${sim_session_pids[*]:-}"
      for link in "${sim_session_links[@]}"; do printf 'links+=(%q)\n' "$link"; done
    } >"$dir/state"
  }
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$sim_session_dir/prefix"
    own_prefix=1
    "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
  fi
  export WINEDEBUG=${WINEDEBUG:--all}
  printf 'export WINEPREFIX=%q WINEDEBUG=%q\n' "$WINEPREFIX" "$WINEDEBUG" >"$dir/env"
  if [ -n "${RV_WINE_SESSION:-}" ] && [ -f "$RV_WINE_SESSION/env" ]; then
    . "$RV_WINE_SESSION/env"
    shared=1
  fi
  save_state
  if [ -z "$shared" ]; then
    # A server left by an earlier test may have started without this display.
    timeout 30 wineserver -w || true
    start_xvfb 1280x1024x24 || { save_state; return 1; }
  fi

  # One pty pair: the program opens one end as a COM port, the test's fake the other.
  socat pty,raw,echo=0,link="$sim_session_dir/tty-program" \
    pty,raw,echo=0,link="$sim_session_dir/tty-fake" </dev/null >/dev/null \
    2>"$sim_session_dir/socat.log" &
  socat_pid=$!
  save_state
  for _ in $(seq 50); do
    [ -e "$sim_session_dir/tty-program" ] && [ -e "$sim_session_dir/tty-fake" ] && break
    sleep 0.1
  done
  sim_map_com "$sim_session_dir/tty-program" RV_E2E_PROGRAM_COM &&
    sim_map_com "$sim_session_dir/tty-fake" RV_E2E_FAKE_COM || { save_state; return 1; }

  # The simulator, for tests that want a live instrument (loopback only), and one
  # that closes its pty after five frames, as an unplugged adapter would.
  RV_E2E_SIM_PORT="" RV_E2E_SIM_COM="" RV_E2E_GONE_COM=""
  if [ -n "$SIM" ] && [ -x "$SIM" ]; then
    sim_start sim && sim_map_com "$sim_pty" RV_E2E_SIM_COM && RV_E2E_SIM_PORT=$sim_port
    sim_start gone --drop-after 5 && sim_map_com "$gone_pty" RV_E2E_GONE_COM
  fi
  save_state
  # Our own server (it ends by itself once idle), so that what it prints on its
  # way out goes to a log rather than into the test report.
  [ -n "$shared" ] || wineserver </dev/null >/dev/null 2>>"$sim_session_dir/wineserver.log" || true
  mkdir -p "$sim_session_dir/work"
  {
    for name in DISPLAY RV_E2E_PROGRAM_COM RV_E2E_FAKE_COM RV_E2E_SIM_PORT RV_E2E_SIM_COM \
      RV_E2E_GONE_COM; do
      printf 'export %s=%q\n' "$name" "${!name}"
    done
    printf 'export RV_E2E_PROGRAM=%q RV_E2E_TEMP=%q\n' "$program" "$sim_session_dir/work"
  } >>"$dir/env"
  echo "e2e: DISPLAY=$DISPLAY program=$RV_E2E_PROGRAM_COM fake=$RV_E2E_FAKE_COM" \
    "sim=${RV_E2E_SIM_PORT:-none}/${RV_E2E_SIM_COM:-none} gone=${RV_E2E_GONE_COM:-none}"
}

# run DIR E2E_EXE [arguments...]: bounded as a whole; the test program bounds
# each of its own waits.
run() {
  local dir=$1 rc
  shift
  . "$dir/env"
  timeout 800 "$root/scripts/wine-run.sh" "$@"
  rc=$?
  if [ $rc -ne 0 ]; then
    . "$dir/state"
    if [ -s "$session_dir/sim.log" ]; then
      echo "--- simulator log (last lines)"
      tail -n 40 "$session_dir/sim.log"
    fi
  fi
  return $rc
}

# stop DIR: the display goes last, Wine's processes end first, while it is still there.
stop() {
  local dir=$1 pid link
  [ -f "$dir/state" ] || return 0
  . "$dir/env"
  . "$dir/state"
  . "$root/scripts/sim-session.sh"
  trap - EXIT
  rm -rf "$sim_session_dir"
  [ -z "$socat_pid" ] || stop_pid "$socat_pid"
  [ -z "$own_prefix" ] || wineserver -k >/dev/null 2>&1 || true
  [ -n "$shared" ] || timeout 15 wineserver -w >/dev/null 2>&1 || true
  [ -z "$xvfb_pid" ] || stop_pid "$xvfb_pid"
  for pid in "${sim_pids[@]}"; do stop_pid "$pid"; done
  for link in "${links[@]}"; do rm -f "$link"; done
  if [ "${RV_E2E_KEEP:-}" = 1 ]; then
    echo "kept $session_dir"
  else
    rm -rf "$session_dir"
  fi
  rm -f "$dir/env" "$dir/state"
}

case "${1:-}" in
  --start) start "${@:2}" ;;
  --case) run "${@:2}" ;;
  --stop) stop "$2" ;;
  *)
    e2e_exe=${1:?usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [args...]}
    program=${2:?usage: run-e2e.sh E2E_EXE PROGRAM_EXE [SIMULATOR] [args...]}
    sim=${3:-}
    shift $(($# < 3 ? $# : 3))
    dir=$(mktemp -d /tmp/rv-sola62-e2e.XXXXXX)
    started=0
    start "$dir" "$program" "$sim" && started=1
    # After start, which clears the exit trap of the helpers it sources.
    trap 'stop "$dir"; rm -rf "$dir"' EXIT
    trap 'exit 130' INT TERM
    [ "$started" = 1 ] || exit 1
    run "$dir" "$e2e_exe" "$@"
    ;;
esac
