# Sourced by scripts that run Windows programs against the simulator:
# starts simulators, maps their ptys to Wine COM ports, and undoes it all on exit.
# Needs: WINEPREFIX (or the default prefix of scripts/wine-run.sh) and SIM (the binary).

sim_session_dir=$(mktemp -d /tmp/rv-sola62-sim.XXXXXX)
sim_session_pids=()
sim_session_links=()

sim_session_end() {
  local pid link n
  for pid in "${sim_session_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${sim_session_pids[@]}"; do
    for n in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
  for link in "${sim_session_links[@]}"; do rm -f "$link"; done
  rm -rf "$sim_session_dir"
}
trap sim_session_end EXIT

# sim_start NAME ARGS...: starts the simulator with a free TCP port and a pty;
# sets NAME_port and NAME_pty, and the log is $sim_session_dir/NAME.log.
sim_start() {
  local name=$1 n out
  shift
  out="$sim_session_dir/$name.out"
  "$SIM" --tcp-port 0 --pty-link "$sim_session_dir/$name-pty" --log "$sim_session_dir/$name.log" \
    "$@" >"$out" 2>&1 &
  sim_session_pids+=($!)
  for n in $(seq 50); do
    grep -qs '^ready' "$out" && break
    sleep 0.1
  done
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
