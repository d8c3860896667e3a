#!/usr/bin/env bash
# Installs the dependencies, builds, starts the drive simulator's default line
# and then Velmo. Pick the "velmo-sim" line in 串行端口 and press 搜索节点.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
./build/sim/velmo-drive-sim &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT
# The simulator publishes its line before the program lists the ports.
for _ in $(seq 1 100); do
  ls "${XDG_RUNTIME_DIR:-/nonexistent}"/velmo-ports/* /tmp/velmo-ports-"$(id -u)"/* >/dev/null 2>&1 && break
  sleep 0.05
done
./build/main/velmo
