#!/usr/bin/env bash
# Pictures of the inverter control window (TForm9), the speed-controller
# editor (TForm18) and control window (TForm19), the gain tuning's chart
# after a resonance detection and, late in the session, the servo control
# window's exit-guard box (TForm4-exit-guard.png, taken from the screen),
# from the real program on the simulated line under a virtual X display of
# each screen size, with no window manager.
#   scripts/screenshots.sh [OUT_DIR] [WIDTHxHEIGHT...]
# defaults: screenshots/ and 1920x1080 1600x1000 1366x768; the pictures land in
# OUT_DIR/WIDTHxHEIGHT/. Needs a build (scripts/build.sh) and xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELMO_BUILD_DIR:-build}
out=${1:-screenshots}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 1600x1000 1366x768)
command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed (apt-get install xvfb)" >&2; exit 1; }

# A line of its own, with a resonance on servo 1 that rings at any gain.
source scripts/sim-line.sh
trap stop_sim_line EXIT
start_sim_line --name "velmo-shots-$$" --mechanics 1:resonance=450@10
port=$sim_port

status=0
for size in "${sizes[@]}"; do
  mkdir -p "$out/$size"
  echo "== $size"
  VELMO_SCREENSHOTS="$out/$size" VELMO_SCREENSHOT_PORT="$port" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 ${size}x24" "$build_dir"/main/velmo || status=1
done
exit $status
