# Sourced by run.sh and screenshots.sh. start_sim_line ARGS... starts
# velmo-drive-sim with ARGS in the background and sets sim_pid and sim_port:
# the link the simulator published in the virtual-port folder (or, when it
# could not publish one, its pty). The simulator prints both itself, so the
# scripts never guess the folder. stop_sim_line ends it.
#
# The simulator runs in a session of its own: a terminal's Ctrl-C or hang-up
# reaches the program on the line, not the line itself, which stays up until
# the program has left (and stopped and restored its drives over it).
#
# Without --name in ARGS the line is velmo-sim, or velmo-sim-2, -3... when an
# earlier run's simulator still holds that name (exit status 3): each run gets
# a line of its own, since a line takes one program at a time.
start_sim_line() {
  local name="" arg
  for arg in "$@"; do [ "$arg" != "--name" ] || name=given; done
  local n=1
  while :; do
    local name_args=()
    if [ "$name" != given ]; then
      name=velmo-sim
      [ "$n" -eq 1 ] || name=velmo-sim-$n
      name_args=(--name "$name")
    fi
    sim_out=$(mktemp)
    setsid "${build_dir:-build}"/sim/velmo-drive-sim "${name_args[@]}" "$@" >"$sim_out" &
    sim_pid=$!
    sim_port=""
    local status=0
    for _ in $(seq 1 200); do
      # Both lines come in one write: the pty, then the published link.
      if [ -s "$sim_out" ]; then
        sim_port=$(sed -n 2p "$sim_out")
        [ -n "$sim_port" ] || sim_port=$(sed -n 1p "$sim_out")
        break
      fi
      if ! kill -0 "$sim_pid" 2>/dev/null; then
        wait "$sim_pid" || status=$?
        break
      fi
      sleep 0.05
    done
    rm -f "$sim_out"
    if [ -z "$sim_port" ] && [ "$status" -eq 3 ] && [ "$name" != given ] && [ "$n" -lt 20 ]; then
      n=$((n + 1))
      continue
    fi
    break
  done
  [ -n "$sim_port" ] || { echo "the drive simulator did not start its line" >&2; return 1; }
  [ "$n" -eq 1 ] || echo "velmo-sim is in use by an earlier run; this run's line is $name" >&2
}

stop_sim_line() {
  [ -n "${sim_pid:-}" ] || return 0
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
}
