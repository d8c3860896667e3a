#!/usr/bin/env bash
# The README's table of what the gain tuning's inertia estimation reads on the
# simulated servo: per load, per end vibration (none, 15 Hz, 25 Hz) and per
# motor (4096 and 131072 counts), the lowest and highest first estimate over
# starts of 1.0, 2.5, 4.0, 10.0 and 20.0, each start run REPEATS times
# (seeds 1..REPEATS, on the virtual timeline with real time's spread; see
# bench/inertia/inertia_runs.cpp). Also prints, per cell, the widest
# difference between repeats of one start, and the range of a second run
# from the first's result.
#   scripts/inertia-table.sh [REPEATS] [JOBS]
# defaults: 20 repeats, 3 processes at a time (about a quarter of an hour).
# Every run's line lands in $build_dir/inertia-runs.txt. Needs a build
# (scripts/build.sh, or VELMO_BUILD_TARGETS=velmo_inertia_runs bash scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${VELMO_BUILD_DIR:-build}
repeats=${1:-20}
jobs=${2:-3}
runs="$build_dir/inertia-runs.txt"
export program="$build_dir/bench/velmo_inertia_runs" repeats
[ -x "$program" ] || { echo "$program is missing: build it first" >&2; exit 1; }

# One job: a column (motor, end vibration) and a load; its lines carry them.
one_job() {
  local motor=$1 end=$2 load=$3 mechanics="load=$3"
  [ "$end" = 0 ] || mechanics+=",end=$end"
  "$program" --motor "$motor" --mechanics "$mechanics" --seeds "1-$repeats" --late 0.15 --twice |
    sed "s/^/$motor $end $load /"
}
export -f one_job

loads="1.5 2 5 9 12 20"
for motor in 4005 6002; do for end in 0 15 25; do for load in $loads; do
  echo "$motor $end $load"
done; done; done | xargs -P "$jobs" -L 1 bash -c 'one_job "$@"' _ > "$runs"

# Lines: motor end load start seed first second.
awk -v loads="$loads" '
  function range(lo, hi) { return sprintf("%.1f–%.1f", lo, hi) }
  {
    cell = $3 SUBSEP $1 SUBSEP $2; start = cell SUBSEP $4
    if ($6 == "-") { failed[cell]++; next }
    if (!(cell in lo) || $6 < lo[cell]) lo[cell] = $6
    if (!(cell in hi) || $6 > hi[cell]) hi[cell] = $6
    if (!(start in slo) || $6 < slo[start]) slo[start] = $6
    if (!(start in shi) || $6 > shi[start]) shi[start] = $6
    starts[start] = cell
    if ($7 != "-") {
      if (!(cell in lo2) || $7 < lo2[cell]) lo2[cell] = $7
      if (!(cell in hi2) || $7 > hi2[cell]) hi2[cell] = $7
    }
  }
  END {
    for (s in starts) { c = starts[s]; d = shi[s] - slo[s]; if (d > spread[c]) spread[c] = d }
    n = split(loads, order, " ")
    head = "| `load=` | 4096 counts | `end=15` | `end=25` | 131072 counts | `end=15` | `end=25` |\n|---|---|---|---|---|---|---|"
    for (t = 1; t <= 3; ++t) {
      print (t == 1 ? "First estimate, lowest–highest:" : t == 2 ? "\nWidest difference between repeats of one start:" : "\nSecond run from the first result, lowest–highest:")
      print head
      for (i = 1; i <= n; ++i) {
        line = "| " order[i] " |"
        for (m = 0; m < 2; ++m) for (e = 0; e < 3; ++e) {
          c = order[i] SUBSEP (m ? 6002 : 4005) SUBSEP (e == 0 ? 0 : e == 1 ? 15 : 25)
          if (t == 3 ? !(c in lo2) : !(c in lo)) v = "none"
          else v = t == 1 ? range(lo[c], hi[c]) : t == 2 ? sprintf("%.1f (%d %%)", spread[c], 100 * spread[c] / order[i] + 0.5) : range(lo2[c], hi2[c])
          if (t == 1 && failed[c]) v = v " (" failed[c] " gave none)"
          line = line " " v " |"
        }
        print line
      }
    }
  }' "$runs"
