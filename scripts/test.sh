#!/usr/bin/env bash
# Sets everything up and runs the whole test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, on a virtual X server for the window tests.
# A Release build of everything (tests and benchmarks compiled, not run) comes
# first too: the optimiser's warnings only show there.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-asan"
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DKORVEL_SANITIZE=ON -DKORVEL_BENCH=ON
"$root/scripts/setup.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DKORVEL_BENCH=ON
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
xvfb-run -a -s "-screen 0 1280x900x24 -noreset" ctest --output-on-failure -j"$(nproc)" --timeout 600 "$@"
