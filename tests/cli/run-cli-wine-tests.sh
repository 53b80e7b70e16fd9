#!/usr/bin/env bash
# Runs the host-built client tests against the Windows client under Wine (in
# the run's Wine session, which holds the server): the simulator on a
# loopback port and on a pty mapped to a free COM port.
# usage: run-cli-wine-tests.sh CLI_TESTS CLI_EXE SIMULATOR [gtest args]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tests=$1
cli=$2
SIM=$3
shift 3
[ -x "$tests" ] && [ -x "$SIM" ] || { echo "host build missing: $tests, $SIM"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
[ -f "$WINEPREFIX/system.reg" ] || "$root/scripts/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null

. "$root/scripts/sim-session.sh"
sim_start sim
sim_map_com "$sim_pty" sim_com
export RV_CLI_RUNNER="$root/scripts/wine-run.sh" RV_CLI="$cli" RV_SIM="$SIM"
export RV_WINE_SIM_PORT=$sim_port RV_WINE_SIM_COM=$sim_com
status=0
timeout 100 "$tests" --gtest_brief=1 --gtest_filter='CliWine.*' "$@" || status=$?
if [ "$status" -ne 0 ]; then
  echo "--- simulator log (last lines)"
  tail -n 30 "$sim_session_dir"/*.log || true
fi
exit "$status"
