#!/usr/bin/env bash
# Installs what is missing, builds, starts the instrument simulator on a free
# loopback port and opens the program under Wine, connected to it over TCP.
#
# With a reachable $DISPLAY the window opens there for you; the simulator stops
# when the program ends. Without one the program runs on a virtual display, is
# connected, and a screenshot of each output page of the connected window is
# written (normal-output.png, sweep-output.png, replay-output.png; their paths
# are printed); then the program is shut down.
#
# RV_BUILD_DIR picks the build folder (default: build); WINEPREFIX the Wine
# prefix (default: one beside the build, made once); RV_SCREENSHOT_DIR where
# the screenshots go (default: the run's folder; RV_SCREENSHOT_DIR=docs
# renews the README's pictures).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${RV_BUILD_DIR:-$root/build}
case "$out" in /*) ;; *) out="$root/$out" ;; esac
shots=${RV_SCREENSHOT_DIR:-}
case "$shots" in /* | "") ;; *) shots="$PWD/$shots" ;; esac

"$root/scripts/install-deps.sh"
RV_BUILD_DIR="$out" "$root/scripts/build.sh"

export WINEPREFIX=${WINEPREFIX:-$out/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -e "$WINEPREFIX/drive_c/windows/Fonts/ipag.ttf" ]; then
  echo "== making the Wine prefix $WINEPREFIX"
  "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
fi

SIM=$out/host/sim/rv-sola62-sim
SIM_SESSION_KEEP=1  # its folder keeps the logs, working directory and screenshots
. "$root/scripts/sim-session.sh"
run_dir=$sim_session_dir
xvfb_pid=""
demo_pid=""
cleanup() {
  # The virtual display, when there is one, goes last.
  [ -z "$demo_pid" ] || stop_pid "$demo_pid"
  sim_session_end
  [ -z "$xvfb_pid" ] || stop_pid "$xvfb_pid"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The simulator, on 127.0.0.1 at a port of its choice.
sim_start simulator
port=$simulator_port

# The program's working directory: Wi-Fi (TCP) to the simulator on loopback.
work="$run_dir/work"
mkdir -p "$work"
printf '[IF]\r\ntype=1\r\ncom=COM1\r\nip=%u\r\nport=%d\r\n' 2130706433 "$port" >"$work/config.ini"
echo "simulator: 127.0.0.1:$port (log $run_dir/simulator.log)"
echo "working directory: $work"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "opening the window on $DISPLAY; press 接続 to connect"
  (cd "$work" && "$root/scripts/wine-run.sh" "$out/win/rv-sola62.exe") || true
  exit 0
fi

# No display: a virtual one, the demo driver, a screenshot of each page.
start_xvfb 1024x768x24
# A server of this prefix that runs without this display would hide the window.
timeout 30 wineserver -w || true

export RV_E2E_PROGRAM="$out/win/rv-sola62.exe"
next="$run_dir/next"
"$root/scripts/wine-run.sh" "$out/win/scripts/tools/e2e_demo.exe" "$work" "$next" \
  >"$run_dir/demo.out" 2>&1 &
demo_pid=$!
shots=${shots:-$run_dir}
mkdir -p "$shots"
names=(normal-output sweep-output replay-output)
for page in 0 1 2; do
  # The demo says which page it shows; the window's rectangle came before.
  for _ in $(seq 600); do
    grep -q "^page $page" "$run_dir/demo.out" && break
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  geometry=$(sed -n 's/^window \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\3x\4+\1+\2/p' \
    "$run_dir/demo.out")
  if [ -z "$geometry" ] || ! grep -q "^page $page" "$run_dir/demo.out"; then
    cat "$run_dir/demo.out" >&2
    exit 1
  fi
  sleep 1  # the last repaint
  import -window root -crop "$geometry" +repage "$shots/${names[$page]}.png"
  echo "screenshot: $shots/${names[$page]}.png"
  touch "$next"
done
status=0
for _ in $(seq 200); do
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$demo_pid" 2>/dev/null; then
  status=1
else
  wait "$demo_pid" || status=$?
  demo_pid=""
fi
grep -E '^(connected|exit)' "$run_dir/demo.out" || true
timeout 15 wineserver -w || true
exit $status
