#!/usr/bin/env bash
# Builds Release (in build-release) and prints one table of the measured
# figures, each beside its limit or goal: polling and firmware read in both
# exchange modes, the engine tick with tuning, the chart update, ShowTable,
# the CSV line, start-up and resident memory. Takes some five minutes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-release"
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DKORVEL_BENCH=ON
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x900x24" "$build/bench/table/bench_table" "$build" "$@"
fi
exec "$build/bench/table/bench_table" "$build" "$@"
