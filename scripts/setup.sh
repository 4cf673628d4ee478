#!/usr/bin/env bash
# Installs every Debian package the project needs (only what is missing) and
# builds the project. Usage: scripts/setup.sh <build-dir> [extra cmake options...]
# KORVEL_TARGETS="a b" builds only those targets.
set -euo pipefail

PACKAGES=(
  cmake g++ make ninja-build pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-datavisualization-dev qt6-declarative-dev
  qt6-qpa-plugins libgl-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core clang-format git ccache lld
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"; shift
# Ninja: a build with nothing to do takes a second where make's checks of
# every target take a minute. A folder configured for make starts afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
cmake -S "$root" -B "$build" -G Ninja "$@"
# shellcheck disable=SC2086 # the targets are a word list
cmake --build "$build" -j"$(nproc)" ${KORVEL_TARGETS:+--target $KORVEL_TARGETS}
