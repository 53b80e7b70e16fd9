#!/usr/bin/env bash
# The server on a real broker (mosquitto on a free loopback port, a config of
# its own) with real subscribers (mosquitto_sub), against two simulators:
# retained state for a late subscriber, the live pace, commands with their
# frames and results, link loss and return, the broker restarted, SIGKILL.
# usage: test_server_mqtt.sh SERVER SIMULATOR
set -u
server=$1
SIM=$2
. "$(dirname "$0")/../../scripts/sim-session.sh"
dir=$sim_session_dir
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

# has FILE TEXT [COUNT]: FILE holds at least COUNT (1) lines with TEXT.
has() { [ "$(grep -cF -- "$2" "$1")" -ge "${3:-1}" ]; }

broker_start || exit 1
sim_start a
a_sim=${sim_session_pids[-1]}
sim_start b --serial RS620099
a=rv-sola62/RS620042
b=rv-sola62/bench-b  # given: published before the first identification
# Every message of both servers, with the time it arrived.
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t 'rv-sola62/#' -F '%U %t %p' >"$dir/all.log" &
sim_session_pids+=($!)
start_server() {  # NAME SIM_PORT ARGS...
  local name=$1 port=$2
  shift 2
  "$server" -c "tcp://127.0.0.1:$port" --scpi 0 --relay 0 --mqtt "mqtt://127.0.0.1:$broker_port" \
    "$@" >"$dir/server-$name.out" 2>&1 &
  sim_session_pids+=($!)
}
start_server a "$a_port" --limit v=-5:5 --mqtt-interval 100
server_a=$!
start_server b "$b_port" --mqtt-prefix "$b"
server_b=$!
wait_until 10 has "$dir/all.log" "$a/live" && wait_until 5 has "$dir/all.log" "$b/live" ||
  fail "no live records from both servers: $(cat "$dir"/server-*.out)"

# The pace: 100 ms for a, the default 500 ms for b, over 3 s.
count_live() { grep -c " $1/live " "$dir/all.log"; }
a0=$(count_live $a) b0=$(count_live $b)
sleep 3
a1=$(count_live $a) b1=$(count_live $b)
((a1 - a0 >= 26 && a1 - a0 <= 31)) || fail "a: $((a1 - a0)) live records in 3 s at 100 ms"
((b1 - b0 >= 5 && b1 - b0 <= 7)) || fail "b: $((b1 - b0)) live records in 3 s at 500 ms"

# A subscriber that comes later reads the retained state.
mosquitto_sub -h 127.0.0.1 -p "$broker_port" -t "$a/+" -F '%r %t %p' -W 1 >"$dir/late.log" \
  2>/dev/null
for line in "1 $a/status online" "1 $a/link up" \
  "1 $a/identity {\"serial\":\"RS620042\",\"firmware\":\"1.05\",\"device_code\":2}"; do
  has "$dir/late.log" "$line" || fail "late subscriber: no '$line'"
done
grep -qE "^1 $a/live \{\"command\":\"monitor\",\"time\":\"[^\"]+\",\"value\":[-0-9.]+,\"code\":-?[0-9]+,\"text\":\"[^\"]+\",\"unit\":\"(mV|V|mA)\",\"type\":[0-3],\"mode\":\"normal\"\}$" \
  "$dir/late.log" || fail "late subscriber: no live record: $(cat "$dir/late.log")"

# Commands: the frame at the simulator (- for none) and the result's code.
frame() {  # COMMAND DATA...: the frame in hex, as the simulator logs it
  local bytes=(AA "$1" 00 00 $(($# - 1)) "${@:2}") sum=1 byte text=""
  bytes[4]=$(printf '%02X' "${bytes[4]}")
  for byte in "${bytes[@]}"; do
    sum=$(((sum + 16#$byte) & 255))
    text+="$byte "
  done
  printf '%s%02X' "$text" "$sum"
}
results=0
while IFS='|' read -r command code sent; do
  before=$(wc -l <"$dir/a.log")
  mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -t "$a/command" -m "$command"
  results=$((results + 1))
  wait_until 5 has "$dir/all.log" "$a/result " "$results" || fail "$command: no result"
  result=$(grep -F "$a/result " "$dir/all.log" | tail -n 1 | cut -d' ' -f3-)
  [[ $result == "{\"command\":\"$command\",\"code\":$code,"* ]] || fail "$command: result $result"
  got=$(tail -n +$((before + 1)) "$dir/a.log" | grep -v ' AA C2 ' | sed -n 's/.* rx tcp //p')
  [ "$got" = "$sent" ] || fail "$command: at the simulator '$got', not '$sent'"
done <<EOT
set 50 --type mv|0|$(frame C1 00 40 00)
set 2.5 --type v|0|$(frame C1 01 20 00)
set 4.5 --type ma|0|$(frame C1 02 1C CD)
set 10 --type ma-ext|0|$(frame C1 03 40 00)
off|0|$(frame C1 03 00 00)
set 5.5 --type v|2|
sweep --type v --from 0 --to 6 --t1 1s --t2 1s|2|
set 2.5 --type volts|2|
monitor|2|
EOT

# The simulator stopped and started again: link down, then up.
stop_pid "$a_sim"
wait_until 15 has "$dir/all.log" "$a/link down" || fail "no link down"
sim_start a --tcp-port "$a_port"
wait_until 10 has "$dir/all.log" "$a/link up" 2 || fail "no link up again"

# The broker stopped and started: the server publishes again, and its
# instrument link goes on.
connects=$(grep -c 'tcp client connected' "$dir/a.log")
live=$(count_live $a)
stop_pid "$broker_pid"
sleep 1
broker_start || fail "the broker did not start again"
wait_until 10 has "$dir/all.log" "$a/status online" 2 || fail "no status online after the broker"
more_live() { [ "$(count_live $a)" -gt "$((live + 5))" ]; }
wait_until 5 more_live || fail "no live records after the broker"
[ "$(grep -c 'tcp client connected' "$dir/a.log")" = "$connects" ] ||
  fail "the instrument link was interrupted while the broker was away"

# SIGKILL: the broker announces the last will. A clean stop says it itself.
kill -KILL "$server_a"
wait_until 5 has "$dir/all.log" "$a/status offline" || fail "no offline after SIGKILL"
kill -TERM "$server_b"
wait "$server_b" || fail "b: exit code $?"
has "$dir/all.log" "$b/status offline" && has "$dir/all.log" "$b/link down" ||
  fail "b: no offline and link down on a clean stop"
[ $failed = 0 ] || { cat "$dir/server-a.out"; tail -n 30 "$dir/all.log"; }
exit $failed
