#!/usr/bin/env bash
# Sets everything up and starts the program in a working folder of its own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_TESTS=OFF -DKORVEL_BENCH=OFF

work="$root/demo"
mkdir -p "$work"
for f in config.ini hexdata.cfg errors.cfg doNOTchange.cfg; do
  [ -e "$work/$f" ] || cp "$root/data/$f" "$work/$f"
done

cd "$work"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running under a virtual X server (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x900x24" "$root/build/src/ui/korvel" --demo "$@"
fi
exec "$root/build/src/ui/korvel" --demo "$@"
