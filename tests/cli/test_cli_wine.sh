#!/usr/bin/env bash
# The Windows build of the client under Wine (in the run's Wine session, which
# holds the server), against the simulator over TCP and over its pty mapped
# to a free COM port.
# usage: test_cli_wine.sh CLI_EXE SIMULATOR
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
cli=$1
SIM=$2
[ -x "$SIM" ] || { echo "host build missing: $SIM"; exit 1; }
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
. "$root/scripts/sim-session.sh"
sim_start sim && sim_map_com "$sim_pty" sim_com || exit 1
failed=0

# expect ARGS... -- TEXT: the client's output, times as TIME, and its exit code.
expect() {
  local args=("${@:1:$#-2}") out
  out=$(timeout 20 "$root/scripts/wine-run.sh" "$cli" "${args[@]}" 2>&1; echo "exit $?")
  out=$(sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]{12}[+-][0-9]{2}:[0-9]{2}/TIME/' <<<"$out")
  [ "$out" = "${!#}" ] && return
  printf '%s:\n%s\nexpected:\n%s\n' "${args[*]}" "$out" "${!#}"
  failed=1
}

for link in "tcp://127.0.0.1:$sim_port" "$sim_com"; do
  expect -c "$link" identify -- $'device code 2\r\nfirmware 1.05\r\nserial RS620042\r\nexit 0'
  expect -c "$link" set -2.5 --type v -- $'set -2.500 V (type 1)\r\nexit 0'
  json='{"command":"get","time":"TIME","value":-2.5,"code":-8192,"text":"-2.500","unit":"V","type":1,'
  expect --json -c "$link" get -- "$json"$'"mode":"normal"}\r\nexit 0'
  record=$'TIME  -2.500 V  type 1  normal\r\n'
  expect -c "$link" monitor --count 3 --interval 100 -- "$record$record${record}exit 0"
done
if [ $failed != 0 ]; then
  echo "--- simulator log (last lines)"
  tail -n 30 "$sim_session_dir/sim.log"
fi
exit $failed
