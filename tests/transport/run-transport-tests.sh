#!/usr/bin/env bash
# Runs the transport tests under Wine against two simulators, each on a
# loopback TCP port and a COM port: a loopback plug (--echo), an instrument
# whose port vanishes after the first answer, and one that never reads (--stall).
# usage: run-transport-tests.sh TRANSPORT_TESTS_EXE SIMULATOR [gtest args]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
exe=$1
SIM=$2
shift 2
[ -x "$SIM" ] || { echo "simulator not built: $SIM"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null

. "$root/scripts/sim-session.sh"
sim_start echo --echo
sim_start gone --drop-after 1
sim_start stalled --stall
sim_map_com "$echo_pty" echo_com
sim_map_com "$gone_pty" gone_com
sim_map_com "$stalled_pty" stalled_com
sim_free_com missing_com

export RV_ECHO_TCP_PORT=$echo_port RV_ECHO_COM=$echo_com RV_MISSING_COM=$missing_com
export RV_GONE_COM=$gone_com RV_STALLED_COM=$stalled_com
status=0
timeout 100 "$root/scripts/wine-run.sh" "$exe" --gtest_brief=1 "$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- simulator log (last lines)"
  tail -n 30 "$sim_session_dir"/*.log || true
fi
exit "$status"
