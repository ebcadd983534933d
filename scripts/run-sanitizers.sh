#!/usr/bin/env bash
# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# then a short run of every fuzzing harness (SECONDS each, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh test fuzz
scripts/build.sh asan
ctest --preset asan
fuzz/run.sh "$seconds"
