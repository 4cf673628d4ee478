#!/usr/bin/env bash
# Installs every Debian package the project needs (only what is missing) and
# builds the project. Usage: scripts/setup.sh <build-dir> [extra cmake options...]
# KORVEL_TARGETS="a b" builds only those targets.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev qt6-datavisualization-dev qt6-declarative-dev
  qt6-qpa-plugins libgl-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth fonts-dejavu-core clang-format git ccache
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
cmake -S "$root" -B "$build" "$@"
# shellcheck disable=SC2086 # the targets are a word list
cmake --build "$build" -j"$(nproc)" ${KORVEL_TARGETS:+--target $KORVEL_TARGETS}
