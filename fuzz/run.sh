#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for SECONDS
# (default 60). Seeds come from fuzz/corpus/<harness>; what the fuzzer learns
# is kept in fuzz/corpus-work/<harness> (ignored by git). A crash leaves its
# input in fuzz/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh fuzz

build=build/fuzz
if [ ! -f "$build/CMakeCache.txt" ]; then
  CXX=clang++ cmake -S . -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMBVIEWER_BUILD_FUZZERS=ON -DCMBVIEWER_BUILD_TESTS=OFF -DCMBVIEWER_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -fsanitize=fuzzer-no-link" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
# Only the harnesses: the window is not needed here.
targets=$(sed -n 's/^cmb_add_fuzzer(\([a-z_]*\).*/\1/p' fuzz/CMakeLists.txt)
cmake --build "$build" --target $targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
for harness in $targets; do
  work=fuzz/corpus-work/$harness
  mkdir -p "$work"
  echo "== $harness: ${seconds}s"
  if ! "$build/fuzz/$harness" "$work" "fuzz/corpus/$harness" \
        -dict=fuzz/cmb.dict -max_total_time="$seconds" -max_len=65536 \
        -timeout=10 -rss_limit_mb=2048 -artifact_prefix=fuzz/ -print_final_stats=1 \
        2> "build/fuzz/$harness.log"; then
    echo "!! $harness failed; see build/fuzz/$harness.log" >&2
    tail -n 40 "build/fuzz/$harness.log" >&2
    status=1
  else
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|Done )' "build/fuzz/$harness.log" || true
  fi
done
exit $status
