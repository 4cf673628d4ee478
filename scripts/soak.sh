#!/usr/bin/env bash
# A headless drive with tuning against the simulator for MINUTES minutes
# (default 60): korvel-sim drives (warm-up, idle, cruises, accelerations) with
# a lean mixture, korvel-cli reads its firmware, then monitors and tunes.
# Prints the resident memory of korvel-cli every minute and a summary.
# Usage: scripts/soak.sh [MINUTES] [BUILD_DIR]   (BUILD_DIR default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
minutes="${1:-60}"
build="${2:-$root/build}"
[ -x "$build/src/cli/korvel-cli" ] || "$root/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_TESTS=OFF -DKORVEL_BENCH=OFF

work="$(mktemp -d)"
trap 'kill "${sim:-}" "${cli:-}" 2>/dev/null || true; [ -n "${KEEP_SOAK:-}" ] || rm -rf "$work"' EXIT
for f in config.ini hexdata.cfg errors.cfg doNOTchange.cfg; do cp "$root/data/$f" "$work/"; done

"$build/src/sim/korvel-sim" --ecu-link "$work/ecu" --lambda-link "$work/lambda" --afr-error 5 > "$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$work/ecu" ] && break; sleep 0.1; done

cli_args=(-C "$work")
common=(--ecu "$work/ecu" --lambda "$work/lambda" --set "Быстрый обмен=да" --set "Таймаут1=0")
"$build/src/cli/korvel-cli" "${cli_args[@]}" read-firmware "${common[@]}" "$work/ecu.bin" > "$work/read.log" 2>&1
"$build/src/cli/korvel-cli" "${cli_args[@]}" monitor "${common[@]}" --tune \
  --set "Загрузить прошивку по умолчанию=да" --set "Прошивка по умолчанию=ecu.bin" \
  --seconds $((minutes * 60)) > "$work/monitor.log" 2>&1 &
cli=$!

echo "minute rss_kB"
start_rss=""
for m in $(seq 0 "$minutes"); do
  kill -0 "$cli" 2>/dev/null || break
  rss=$(ps -o rss= -p "$cli" | tr -d ' ')
  [ -n "$start_rss" ] || start_rss="$rss"
  echo "$m $rss"
  [ "$m" -lt "$minutes" ] && sleep 60
done
status=0
wait "$cli" || status=$?
errors=$(grep -ciE "ошибка|error" "$work/monitor.log" || true)
echo "korvel-cli exit $status; resident memory ${start_rss} kB at the start, ${rss:-?} kB at the end;" \
     "$(grep -c "Перезаписываю" "$work/monitor.log" || true) table write-backs; $errors lines naming an error"
grep -m1 "Tuning" "$work/monitor.log" || echo "tuning did not start"
exit "$status"
