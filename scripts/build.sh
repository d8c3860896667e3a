#!/usr/bin/env bash
# Configures and builds into build/ (or $VELMO_BUILD_DIR). Extra arguments go
# to cmake's configure step. VELMO_BUILD_TARGETS names the targets to build
# (e.g. "velmo velmo-drive-sim" or "velmo_bench"); by default everything.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELMO_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${VELMO_BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
targets=()
for target in ${VELMO_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build_dir" --parallel "$(bash scripts/cpus.sh)" "${targets[@]}"
