#!/usr/bin/env bash
# Fails when a C++ file of ours differs from .clang-format.
set -euo pipefail
cd "$1"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
clang-format --dry-run --Werror $files
