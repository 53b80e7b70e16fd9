#!/usr/bin/env bash
# One Wine session for a whole CTest run of the Windows build: a virtual X
# display, and a Windows process that does nothing but keep the prefix's
# server and its system processes running, so that each test case's program
# starts in a fraction of a second. Started outside CTest's pipes, which a
# server started by a test case would hold open until it ends. Stops what it
# started, by pid.
#
# usage: wine-session.sh start DIR | stop DIR
#   DIR/env then holds DISPLAY, for the programs that open windows.
# Environment: WINEPREFIX (the test command makes one per run).
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
dir=${2:?usage: wine-session.sh start DIR | stop DIR}
export WINEDEBUG=${WINEDEBUG:--all}
. "$root/scripts/sim-session.sh"
trap - EXIT
rm -rf "$sim_session_dir"

case "$1" in
  start)
    mkdir -p "$dir"
    sim_session_dir=$dir
    # A server left by an earlier run may have started without this display.
    timeout 30 wineserver -w || true
    start_xvfb 1280x1024x24 || exit 1
    echo "export DISPLAY=$DISPLAY" >"$dir/env"
    rm -f "$dir/hold"
    mkfifo "$dir/hold"
    "$root/scripts/wine-run.sh" cmd.exe <"$dir/hold" >"$dir/wine.log" 2>&1 &
    holder_pid=$!
    sleep 100000 >"$dir/hold" 2>/dev/null </dev/null &
    echo "xvfb_pid=$xvfb_pid holder_pid=$holder_pid feeder_pid=$!" >"$dir/state"
    # Ready once the prefix answers a program of its own.
    timeout 60 "$root/scripts/wine-run.sh" cmd.exe /c exit </dev/null >>"$dir/wine.log" 2>&1
    ;;
  stop)
    [ -f "$dir/state" ] || exit 0
    . "$dir/state"
    stop_pid "$feeder_pid"
    stop_pid "$holder_pid"
    # The display goes last: Wine's processes end first, while it is still there.
    timeout 15 wineserver -w || true
    stop_pid "$xvfb_pid"
    rm -f "$dir/state" "$dir/env" "$dir/hold"
    ;;
esac
