#!/usr/bin/env bash
# Sets everything up and runs the whole test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, on a virtual X server for the window tests.
# The sanitizer build compiles everything: the program, the tests, the fuzz
# replays and the benchmarks (whose smoke runs are part of the suite). It
# keeps line tables only (-g1): that is all the sanitizers' reports need, and
# full debug information makes the build a good deal slower.
# A Release build of the libraries and programs comes first: some of the
# optimiser's warnings (uninitialised values, overflowing copies) only show
# with optimisation, and every warning is an error. The tests and benchmarks
# are not built twice for that: they only call the same code.
# With ccache installed (setup.sh installs it), a second run compiles only what
# changed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-asan"
"$root/scripts/setup.sh" "$root/build-release" -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF -DKORVEL_BENCH=OFF
"$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKORVEL_SANITIZE=ON -DKORVEL_BENCH=ON
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Most tests wait on the simulated serial line rather than compute, so two run
# per core; the longest start first (their COST in tests/). More at once makes
# the simulated ECU answer after the program's read pause.
cd "$build"
xvfb-run -a -s "-screen 0 1280x900x24 -noreset" ctest --output-on-failure -j"$(($(nproc) * 2))" --timeout 600 "$@"
