#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test (headless). With
# VELMO_SANITIZE=1 (the default in CI) the suite runs a second time under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

if [ "${VELMO_SANITIZE:-${CI:-0}}" != "0" ] && [ "${VELMO_SANITIZE:-1}" != "0" ]; then
  echo "== Sanitizer build (address, undefined)"
  VELMO_BUILD_DIR=build-asan VELMO_BUILD_TYPE=Debug bash scripts/build.sh -DVELMO_SANITIZE=ON -DVELMO_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600
fi
