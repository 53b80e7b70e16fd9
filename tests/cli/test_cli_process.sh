#!/usr/bin/env bash
# The client's own binary against the simulator: monitor losing its link (the
# simulator stopped, and for --reconnect started again on the same TCP port or
# pty path), and stopped by Ctrl+C on the new link. The loss rule takes ten
# seconds, so the four cases run side by side.
# usage: test_cli_process.sh CLI SIMULATOR
set -u
cli=$1
SIM=$2
. "$(dirname "$0")/../../scripts/sim-session.sh"
dir=$sim_session_dir
cases="tcp pty tcp_reconnect pty_reconnect"
declare -A sim monitor
failed=0

fail() {
  echo "$*"
  failed=1
}

# wait_until SECONDS COMMAND...: polls until COMMAND succeeds.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# The JSON lines of a case as letters: r a record, L link_lost, R reconnected,
# E an error.
kinds() {
  sed -e 's/.*"error".*/E/;s/.*"link_lost".*/L/;s/.*"reconnected".*/R/;s/^{"time".*/r/' \
    "$dir/$1.json" | tr -d '\n'
}

# all_kinds CASES REGEX: the lines of each case match.
all_kinds() {
  local c
  for c in $1; do [[ $(kinds "$c") =~ $2 ]] || return 1; done
}

# start_sim CASE [ARGS]: its simulator, on the pty path of the case.
start_sim() {
  sim_start "$@" || exit 1
  sim[$1]=${sim_session_pids[-1]}
}

for c in $cases; do
  start_sim "$c"
  port=${c}_port
  link=$dir/$c-pty
  [[ $c != tcp* ]] || link=tcp://127.0.0.1:${!port}
  args=(--json -c "$link" monitor --interval 100)
  [[ $c != *reconnect ]] || args+=(--reconnect)
  timeout --foreground 40 "$cli" "${args[@]}" >"$dir/$c.json" 2>"$dir/$c.err" </dev/null &
  monitor[$c]=$!
  sim_session_pids+=($!)  # ended with the session, should a check fail
done
wait_until 10 all_kinds "$cases" '^rr' || fail "no records"
kill "${sim[@]}"
sleep 9.5
! grep -q link_lost "$dir"/*.json || fail "link_lost within 9.5 s"
wait_until 4 all_kinds "$cases" L || fail "no link_lost within 13.5 s"
for c in tcp_reconnect pty_reconnect; do
  port=${c}_port
  start_sim "$c" --tcp-port "${!port}"  # the later --tcp-port counts
done
wait_until 10 all_kinds "tcp_reconnect pty_reconnect" LRrr
kill -INT "${monitor[tcp_reconnect]}" "${monitor[pty_reconnect]}"

for c in $cases; do
  wait "${monitor[$c]}"
  code=$?
  kinds=$(kinds "$c")
  err=$(cat "$dir/$c.err")
  # Times in order: same zone and day here, so the texts order as the times do.
  grep -o '"time":"[^"]*"' "$dir/$c.json" | LC_ALL=C sort -c || fail "$c: times out of order"
  # Records, the loss, and nothing made up for the gap.
  if [[ $c == *reconnect ]]; then
    [[ $kinds =~ ^rr+LRrr+$ ]] || fail "$c: lines $kinds"
    [ $code = 0 ] || fail "$c: exit code $code: $err"
    # Ctrl+C on the new link: the disconnect went out there, last.
    last=$(grep -o ' rx .*' "$dir/$c.log" | tail -n 1)
    [ "$last" = " rx ${c%_*} AA 11 00 00 00 BC" ] || fail "$c: last frame received:$last"
  else
    [[ $kinds =~ ^rr+LE$ ]] || fail "$c: lines $kinds"
    [ $code = 4 ] || fail "$c: exit code $code"
    [ "$err" = "rv-sola62-cli: the link was lost: no valid frame for more than 10 s" ] ||
      fail "$c: message $err"
  fi
done
exit $failed
