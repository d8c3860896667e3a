#!/usr/bin/env bash
# Installs the dependencies, builds the program and the drive simulator (the
# tests and benchmarks are left to scripts/test.sh and scripts/build.sh),
# starts the simulator's default line and then Velmo with that line chosen
# in 串行端口: press 搜索节点. A run beside an earlier one gets a line of its
# own (velmo-sim-2...), since the earlier program holds its port. Needs a
# graphical session.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "Velmo opens windows and needs a graphical session; without one, run it under a virtual display: xvfb-run -a bash scripts/run.sh" >&2
  exit 1
fi
# VELMO_NO_BUILD=1 starts what the build folder already holds.
if [ "${VELMO_NO_BUILD:-}" != 1 ]; then
  bash scripts/install-deps.sh
  VELMO_BUILD_TARGETS="velmo velmo-drive-sim" bash scripts/build.sh
fi
build_dir=${VELMO_BUILD_DIR:-build}
source scripts/sim-line.sh
trap stop_sim_line EXIT
start_sim_line
# Ctrl-C or a closed terminal is Velmo's to answer: it stops and restores its
# drives over the line, so this shell waits for it to leave before the line
# goes (a trapped signal only runs once the program has ended).
trap ':' INT HUP
status=0
VELMO_PORT="$sim_port" "$build_dir"/main/velmo || status=$?
exit "$status"
