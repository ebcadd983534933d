#!/usr/bin/env bash
# Measures cmbViewer against the tools people would use instead, side by side
# in one run, and prints one table of medians and ratios.
#
#   bench/run.sh            (BENCH_RUNS=N repeats each figure N times, default 5)
#
# Data is generated on /dev/shm where it exists, so the disk does not decide.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${BENCH_RUNS:-5}

scripts/install-deps.sh bench >&2
scripts/build.sh release >&2
bin=$PWD/build/release
tool=$bin/cli/cmbtool
gen=$bin/bench/cmb-bench-gen
window=$bin/bench/cmb-bench-window

base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/cmbbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
fs=$(df -T "$work" | awk 'NR==2 {print $2}')

rows=()
# row NAME OURS PEER PEERNAME UNIT
row() { rows+=("$1|$2|$3|$4|$5"); }

# median wall time in seconds of a command, with a preparation before each run
median() {
  local prepare=$1; shift
  rm -f "$work/h.json"
  if ! hyperfine --style none --runs "$runs" --warmup 1 --prepare "$prepare" \
      --export-json "$work/h.json" "$*" >"$work/h.log" 2>&1; then
    echo "bench: failed: $*" >&2
    tail -n 5 "$work/h.log" >&2
    exit 1
  fi
  jq -r '.results[0].median' "$work/h.json"
}

# peak resident memory in MiB of one run
peak_mib() {
  /usr/bin/time -f '%M' -o "$work/mem" "$@" >/dev/null 2>&1
  echo "scale=1; $(cat "$work/mem") / 1024" | bc
}

echo "== generating data in $work ($fs)" >&2
"$gen" --tree "$work/small" 20000 0 8192
tar -cf "$work/small.tar" -C "$work/small/tree" .
"$gen" --tree "$work/big" 8 $((64 << 20)) $((64 << 20))
tar -cf "$work/big.tar" -C "$work/big/tree" .
"$gen" --no-data "$work/huge" 1000000 0 8192
out=$work/out
fresh="rm -rf $out && mkdir -p $out"

echo "== 1. extract 20,000 small entries" >&2
ours=$(median "$fresh" "$tool extract -q -C $out $work/small/archive.cmb")
gnu=$(median "$fresh" "tar -xf $work/small.tar -C $out")
bsd=$(median "$fresh" "bsdtar -xf $work/small.tar -C $out")
row "extract 20,000 entries of 0-8 KiB" "$ours" "$gnu" "GNU tar -xf" s
row "extract 20,000 entries of 0-8 KiB" "$ours" "$bsd" "bsdtar -xf" s

echo "== 2. extract 8 entries of 64 MiB" >&2
ours=$(median "$fresh" "$tool extract -q -C $out $work/big/archive.cmb")
cpt=$(median "$fresh" "cp $work/big/archive.bin $out/")
tart=$(median "$fresh" "tar -xf $work/big.tar -C $out")
row "extract 8 x 64 MiB" "$ours" "$cpt" "cp of the data file" s
row "extract 8 x 64 MiB" "$ours" "$tart" "GNU tar -xf" s
rm -rf "$out"; mkdir -p "$out"
m_ours=$(peak_mib "$tool" extract -q -C "$out" "$work/big/archive.cmb")
rm -rf "$out"; mkdir -p "$out"
m_cp=$(peak_mib cp "$work/big/archive.bin" "$out/")
rm -rf "$out"; mkdir -p "$out"
m_tar=$(peak_mib tar -xf "$work/big.tar" -C "$out")
row "peak memory, extract 8 x 64 MiB" "$m_ours" "$m_cp" "cp" MiB
row "peak memory, extract 8 x 64 MiB" "$m_ours" "$m_tar" "GNU tar -xf" MiB
rm -rf "$out"

echo "== 3. list 1,000,000 entries" >&2
ours=$(median true "$tool list $work/huge/archive.cmb > /dev/null")
wcl=$(median true "wc -l $work/huge/archive.cmb > /dev/null")
row "list 1,000,000 entries" "$ours" "$wcl" "wc -l of the index" s

if [ -x "$window" ]; then
  echo "== 4. the window" >&2
  "$gen" --no-data "$work/w100k" 100000 0 8192
  for n in 100k 1m; do
    index=$work/w$n/archive.cmb
    [ "$n" = 1m ] && index=$work/huge/archive.cmb
    QT_QPA_PLATFORM=offscreen "$window" open "$index" "$runs" > "$work/w.txt"
    row "window: open $n entries" "$(awk '/^open/ {print $2}' "$work/w.txt")" "" "" s
    row "window: select all, $n entries" "$(awk '/^selectall/ {print $2}' "$work/w.txt")" "" "" s
  done
  echo "== 5. write out 20,000 entries through the window" >&2
  ours=$(median "$fresh" "QT_QPA_PLATFORM=offscreen $window writeout $work/small/archive.cmb $out")
  cli=$(median "$fresh" "$tool extract -q -C $out $work/small/archive.cmb")
  row "window: write out 20,000 entries" "$ours" "$cli" "cmbtool extract" s
fi

cores=$(nproc)
mem=$(free -g | awk '/^Mem:/ {print $2 " GiB"}')
echo
echo "cmbViewer benchmark, $(date -u +%Y-%m-%d), $cores cores, $mem, data on $fs, median of $runs runs"
echo
printf '| %s | %s | %s | %s | %s |\n' "figure" "cmbViewer" "peer" "peer's figure" "ratio"
printf '|---|---|---|---|---|\n'
for r in "${rows[@]}"; do
  IFS='|' read -r name ours peer peername unit <<<"$r"
  if [ -n "$peer" ]; then
    ratio=$(echo "scale=4; $ours / $peer" | bc)
    printf '| %s | %.3f %s | %s | %.3f %s | %.2f |\n' "$name" "$ours" "$unit" "$peername" "$peer" "$unit" "$ratio"
  else
    printf '| %s | %.3f %s | | | |\n' "$name" "$ours" "$unit"
  fi
done
