#!/usr/bin/env bash
# Installs the dependencies, builds and runs every test (headless). In CI, or
# with VELMO_SANITIZE=1, the suite then runs a second time under
# AddressSanitizer and UndefinedBehaviorSanitizer; on a machine with fewer
# than four CPUs CI leaves that pass out to stay well inside its time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(bash scripts/cpus.sh)

bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300

sanitize=${VELMO_SANITIZE:-}
if [ -z "$sanitize" ]; then
  sanitize=0
  if [ "${CI:-}" = "true" ] && [ "$jobs" -ge 4 ]; then sanitize=1; fi
fi
if [ "$sanitize" = "1" ]; then
  echo "== Sanitizer build (address, undefined)"
  VELMO_BUILD_DIR=build-asan VELMO_BUILD_TYPE=Debug bash scripts/build.sh -DVELMO_SANITIZE=ON -DVELMO_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 600
fi
