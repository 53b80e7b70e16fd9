#!/usr/bin/env bash
# The client's own binary against the simulator: monitor losing its link (the
# simulator stopped, and for --reconnect started again on the same TCP port or
# pty path), and stopped by Ctrl+C on the new link; the four cases side by
# side. Meanwhile short runs: failed writes, a closed pipe, signals.
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

# The JSON lines of a case as letters: r a record, L link_lost, F
# reconnect_failed, R reconnected, E an error.
kinds() {
  sed -e 's/.*"error".*/E/;s/.*"link_lost".*/L/;s/.*"reconnected".*/R/;s/.*"value".*/r/' \
    -e 's/.*"reconnect_failed".*/F/' \
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

# Short runs while the monitors wait, one at a time on the simulator "one":
# the last frame it received, the exit code, stderr, and how long the client
# took from its signal, or in all.
start_sim one
start_sim silent --silent
last_rx() { grep -o ' rx .*' "$dir/$1.log" | tail -n 1; }
# rx_seen SIM FRAME: SIM received a frame that starts so, after the mark.
rx_seen() { tail -n "+$((mark + 1))" "$dir/$1.log" | grep -q " rx .* AA $2"; }
one=tcp://127.0.0.1:$one_port
bye=" rx tcp AA 11 00 00 00 BC"
# check NAME CODE ERR MAX_MS [SIM]: SIM received the disconnect command last.
check() {
  [ "$code" = "$2" ] || fail "$1: exit code $code"
  [ "$(cat "$dir/err")" = "$3" ] || fail "$1: stderr $(cat "$dir/err")"
  ((took_us < $4 * 1000)) || fail "$1: took $took_us us"
  [ -z "${5:-}" ] || [[ $(last_rx "$5") == "$bye"* ]] || fail "$1: last frame$(last_rx "$5")"
}
# timed COMMAND...: runs it; sets code, and took_us to its microseconds.
timed() {
  local start=${EPOCHREALTIME/./}
  "$@"
  code=$?
  took_us=$((${EPOCHREALTIME/./} - start))
}
# signalled SIGNAL SIM FRAME ARGS...: the client in the background, the signal
# 0.2 s after SIM received FRAME from it, and took_us from then on.
signalled() {
  local signal=$1 sim_name=$2 frame=$3 pid
  shift 3
  mark=$(wc -l <"$dir/$sim_name.log")
  "$cli" "$@" >"$dir/out" 2>"$dir/err" &
  pid=$!
  wait_until 5 rx_seen "$sim_name" "$frame" || fail "$*: $frame never sent"
  sleep 0.2
  kill "-$signal" $pid
  timed wait $pid
}
full() { "$cli" -c "$one" "$@" 2>"$dir/err"; }
piped() { "$cli" -c "$one" monitor --interval 100 2>"$dir/err" | head -1 >"$dir/out"; }

full="rv-sola62-cli: the output could not be written: No space left on device"
timed full get >/dev/full
check "get >/dev/full" 5 "$full" 5000 one
timed full monitor --output /dev/full
check "monitor --output /dev/full" 5 "$full" 5000 one
timed piped
check "monitor | head -1" 0 "" 1000 one
[ "$(wc -l <"$dir/out")" = 1 ] || fail "monitor | head -1: $(cat "$dir/out")"
signalled INT silent "10" -c "tcp://127.0.0.1:$silent_port" identify
check "SIGINT while the connect command waits" 130 "" 100
printf 'get\nsleep 10s\nget\n' >"$dir/script"
signalled TERM one C2 -c "$one" run "$dir/script"
check "SIGTERM in run" 143 "" 600 one
signalled HUP one C2 -c "$one" --json monitor
check "SIGHUP in monitor" 0 "" 600 one
# A command's wait on an identified link: the disconnect still goes out.
start_sim mute --silent-after 3
signalled INT mute C1 -c "tcp://127.0.0.1:$mute_port" set 1 --type v
check "SIGINT in a command's wait" 130 "" 600 mute

kill "${sim[@]}"
# The transport tells the end at once: no 10 s of silence.
wait_until 1 all_kinds "$cases" L || fail "no link_lost within 1 s"
# Two failed attempts with the same reason, which is told once.
sleep 2.5
for c in tcp_reconnect pty_reconnect; do
  port=${c}_port
  start_sim "$c" --tcp-port "${!port}"  # the later --tcp-port counts
done
wait_until 10 all_kinds "tcp_reconnect pty_reconnect" Rrr
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
    [[ $kinds =~ ^rr+LFRrr+$ ]] || fail "$c: lines $kinds"
    [ $code = 0 ] || fail "$c: exit code $code: $err"
    # Ctrl+C on the new link: the disconnect went out there, last.
    last=$(grep -o ' rx .*' "$dir/$c.log" | tail -n 1)
    [ "$last" = " rx ${c%_*} AA 11 00 00 00 BC" ] || fail "$c: last frame received:$last"
  else
    [[ $kinds =~ ^rr+LE$ ]] || fail "$c: lines $kinds"
    [ $code = 4 ] || fail "$c: exit code $code"
    reason="the device is gone"
    [ $c = pty ] || reason="the peer closed the connection"
    [ "$err" = "rv-sola62-cli: the link was lost: $reason" ] || fail "$c: message $err"
  fi
done
exit $failed
