#!/usr/bin/env bash
# Configures (once) and builds one CMake preset: dev, release or asan.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-dev}
[ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
