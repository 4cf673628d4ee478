#!/usr/bin/env bash
# Builds the link, lambda and session tests with ThreadSanitizer (in
# build-tsan) and runs them: the ECU and wideband workers against the
# simulator, the session's hand-overs between them and the UI thread, and
# the CSV log's writer thread.
# The hand-overs use our own mutexes and condition variables, which the
# sanitizer sees; only false alarms inside Qt's own code (Debian's Qt is not
# built with the sanitizer) are suppressed, in scripts/tsan.supp, each with
# its reason. Any report in our code is a race and fails the run.
# Usage: scripts/tsan.sh [ctest arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-tsan"
KORVEL_TARGETS="ecu_tests lambda_tests connection_tests app_tests live_tests" \
  "$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DKORVEL_TSAN=ON -DKORVEL_BENCH=OFF
export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp:halt_on_error=1:second_deadlock_stack=1"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 900 -R "^(EcuOverSim|EcuWorker|LinkWorker|ActuatorOverSim|EcuWritesOverSim|FirmwareReadOverSim|FastExchange|Lambda|SessionConnection|SessionFirmwareRead|TuningOverSim|ChartsConnection|TuningControl|Session|CsvLog)" "$@"
