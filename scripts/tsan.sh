#!/usr/bin/env bash
# Builds the link, lambda and session tests with ThreadSanitizer (in
# build-tsan) and runs them: the ECU and wideband workers against the
# simulator, and the session's hand-overs between them and the UI thread.
# Reports inside Qt's own blocking queued calls and wait conditions are
# suppressed in scripts/tsan.supp (Debian's Qt is not built with the
# sanitizer); a race in our code fails the run.
# Usage: scripts/tsan.sh [ctest arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"
KORVEL_TARGETS="ecu_tests lambda_tests connection_tests app_tests" \
  "$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DKORVEL_TSAN=ON -DKORVEL_BENCH=OFF
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 900 -R "^(EcuOverSim|EcuWorker|EcuWritesOverSim|FirmwareReadOverSim|FastExchange|Lambda|SessionConnection|SessionFirmwareRead|TuningOverSim|ChartsConnection|TuningControl|Session)" "$@"
