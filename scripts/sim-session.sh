# Sourced by scripts that run Windows programs against the simulator: starts
# simulators, maps ptys to Wine COM ports, starts a virtual display, and undoes
# its own part on exit (a script with its own exit trap calls sim_session_end).
# Needs: WINEPREFIX (or the default prefix of scripts/wine-run.sh) and SIM (the binary).

sim_session_dir=$(mktemp -d /tmp/rv-sola62-sim.XXXXXX)
sim_session_pids=()
sim_session_links=()

# stop_pid PID: TERM, then KILL when it is still there after 5 s.
stop_pid() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
}

sim_session_end() {
  local pid link
  if [ -n "${sim_session_display:-}" ]; then
    timeout 15 wineserver -k >/dev/null 2>&1 || true
    stop_pid "$xvfb_pid"
  fi
  for pid in "${sim_session_pids[@]}"; do stop_pid "$pid"; done
  for link in "${sim_session_links[@]}"; do rm -f "$link"; done
  if [ "${SIM_SESSION_KEEP:-}" = 1 ]; then
    echo "kept $sim_session_dir"
  else
    rm -rf "$sim_session_dir"
  fi
}
trap sim_session_end EXIT

# wait_until SECONDS COMMAND...: polls until COMMAND succeeds.
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# broker_start: an MQTT broker (mosquitto) on a free loopback port, with a
# configuration of its own; the same port again when called again. Sets
# broker_port and broker_pid.
broker_start() {
  local conf=$sim_session_dir/broker.conf
  if [ ! -f "$conf" ]; then
    broker_port=$(/usr/bin/python3 -c \
      'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$broker_port" \
      >"$conf"
  fi
  mosquitto -c "$conf" >>"$sim_session_dir/broker.log" 2>&1 &
  broker_pid=$!
  sim_session_pids+=($broker_pid)
  wait_until 5 mosquitto_pub -h 127.0.0.1 -p "$broker_port" -t probe -n 2>/dev/null ||
    { echo "the broker did not start:"; cat "$sim_session_dir/broker.log"; return 1; }
}

# start_xvfb GEOMETRY: a virtual display on a free number (Xvfb tells it through
# fd 3); sets xvfb_pid and exports DISPLAY. The caller stops it, after Wine.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$sim_session_dir/display" \
    >"$sim_session_dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$sim_session_dir/display" ] && break
    sleep 0.1
  done
  [ -s "$sim_session_dir/display" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$sim_session_dir/display")"
}

# own_wine_display: a Wine prefix of the session's own on a virtual display,
# both ended with the session.
own_wine_display() {
  export WINEPREFIX="$sim_session_dir/prefix" WINEDEBUG=-all
  "$(dirname "${BASH_SOURCE[0]}")/make-wine-prefix.sh" "$WINEPREFIX" >/dev/null
  start_xvfb 1024x768x24
  sim_session_display=1
}

# sim_start NAME ARGS...: starts the simulator with a free TCP port and a pty;
# sets NAME_port and NAME_pty, and the log is $sim_session_dir/NAME.log.
sim_start() {
  local name=$1 out
  shift
  out="$sim_session_dir/$name.out"
  "$SIM" --tcp-port 0 --pty-link "$sim_session_dir/$name-pty" --log "$sim_session_dir/$name.log" \
    "$@" >"$out" 2>&1 &
  sim_session_pids+=($!)
  wait_until 5 grep -qs '^ready' "$out" || true
  grep -q '^ready' "$out" || { echo "simulator $name did not start:"; cat "$out"; return 1; }
  printf -v "${name}_port" '%s' "$(sed -n 's/^listening tcp 127\.0\.0\.1://p' "$out")"
  printf -v "${name}_pty" '%s' "$sim_session_dir/$name-pty"
}

# sim_map_com TARGET VAR: links a free COMn of the prefix to TARGET; VAR gets "COMn".
sim_map_com() {
  local target=$1 var=$2 devices n
  devices="${WINEPREFIX:?}/dosdevices"
  for n in $(seq 20 250); do
    # ln fails when the name is taken, so two runs never claim the same port.
    if [ ! -e "$devices/com$n" ] && [ ! -L "$devices/com$n" ] &&
      ln -s "$target" "$devices/com$n" 2>/dev/null; then
      sim_session_links+=("$devices/com$n")
      printf -v "$var" 'COM%s' "$n"
      return 0
    fi
  done
  echo "no free COM port in $devices"
  return 1
}

# sim_free_com VAR: a COMn with nothing behind it.
sim_free_com() {
  local devices n
  devices="${WINEPREFIX:?}/dosdevices"
  for n in $(seq 251 -1 20); do
    if [ ! -e "$devices/com$n" ] && [ ! -L "$devices/com$n" ]; then
      printf -v "$1" 'COM%s' "$n"
      return 0
    fi
  done
  return 1
}

# server_start SERVER ARGS...: the server (host build) on loopback with free
# ports, once it has identified the instrument; sets server_scpi_port and
# server_relay_port; its output is $sim_session_dir/server.out.
server_start() {
  local server=$1 out="$sim_session_dir/server.out"
  shift
  "$server" --scpi 127.0.0.1:0 --relay 127.0.0.1:0 "$@" >"$out" 2>&1 &
  sim_session_pids+=($!)
  wait_until 10 grep -qs ' connected ' "$out" || true
  grep -qs ' connected ' "$out" || { echo "the server did not connect:"; cat "$out"; return 1; }
  server_scpi_port=$(sed -n 's/.* listening scpi 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
  server_relay_port=$(sed -n 's/.* listening relay 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out")
}
