#!/usr/bin/env bash
# Coverage-guided fuzzing of the parsers that read outside bytes.
# Usage: scripts/fuzz.sh <seconds-per-target> [target...]
# KORVEL_FUZZ_RUNS=N ends each target after N executions if that comes first.
# Builds the clang configuration (-DKORVEL_FUZZ=ON, in build-fuzz/ next to the
# sources unless KORVEL_FUZZ_BUILD says otherwise), then runs each target in
# turn, one job at a time, for the given time, with fuzz/dict/<target>.dict
# as its dictionary where there is one. New inputs go to a scratch
# corpus under the build folder (the seeds in fuzz/corpus stay as they are);
# a crash leaves its input as crash-* in the build folder's fuzz-out/<target>/.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:?usage: scripts/fuzz.sh <seconds-per-target> [target...]}"
shift
build="${KORVEL_FUZZ_BUILD:-$root/build-fuzz}"
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(KwpAnswers WidebandStreams ConfigIni ErrorsCfg HexdataCfg ChartLayout CalibrationMapWalk KvImport CsvLogReader)
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKORVEL_FUZZ=ON -DKORVEL_TESTS=OFF -DKORVEL_BENCH=OFF -DKORVEL_PCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j"${KORVEL_FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

# Leaks in Qt's own start-up are not ours; the project's suppressions apply.
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:${LSAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}"
# Targets that go through a scratch file write it in memory where they can.
[ -d /dev/shm ] && export TMPDIR="${TMPDIR:-/dev/shm}"
runs=()
[ -n "${KORVEL_FUZZ_RUNS:-}" ] && runs=(-runs="$KORVEL_FUZZ_RUNS")
status=0
summary=()
for t in "${targets[@]}"; do
  out="$build/fuzz-out/$t"
  mkdir -p "$out/corpus"
  log="$out/fuzz.log"
  echo "== $t: ${seconds}s"
  dict=()
  [ -f "$root/fuzz/dict/$t.dict" ] && dict=(-dict="$root/fuzz/dict/$t.dict")
  set +e
  (cd "$out" && "$build/fuzz/fuzz_$t" -max_total_time="$seconds" "${runs[@]}" -print_final_stats=1 "${dict[@]}" \
     -artifact_prefix="$out/" corpus "$root/fuzz/corpus/$t") >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(ls "$out" | grep -cE '^(crash|leak|timeout|oom|slow-unit)-' || true)
  verdict="ok"
  if ((rc != 0)); then
    verdict="FAILED (exit $rc, see $log)"
    status=1
  fi
  summary+=("$(printf '%-20s %12s executions  %s  %s input(s) kept in %s' "$t" "${execs:-?}" "$verdict" "$crashes" "$out")")
done
echo
printf '%s\n' "${summary[@]}"
exit $status
