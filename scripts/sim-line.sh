# Sourced by run.sh and screenshots.sh. start_sim_line ARGS... starts
# velmo-drive-sim with ARGS in the background and sets sim_pid and sim_port:
# the link the simulator published in the virtual-port folder (or, when it
# could not publish one, its pty). The simulator prints both itself, so the
# scripts never guess the folder. stop_sim_line ends it.
start_sim_line() {
  sim_out=$(mktemp)
  "${build_dir:-build}"/sim/velmo-drive-sim "$@" >"$sim_out" &
  sim_pid=$!
  sim_port=""
  for _ in $(seq 1 200); do
    # Both lines come in one write: the pty, then the published link.
    if [ -s "$sim_out" ]; then
      sim_port=$(sed -n 2p "$sim_out")
      [ -n "$sim_port" ] || sim_port=$(sed -n 1p "$sim_out")
      break
    fi
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$sim_out"
  [ -n "$sim_port" ] || { echo "the drive simulator did not start its line" >&2; return 1; }
}

stop_sim_line() {
  [ -z "${sim_pid:-}" ] || kill "$sim_pid" 2>/dev/null || true
}
