#!/usr/bin/env bash
# The apply engine against GNU chmod -R, run as an ordinary user.
#   P1: a recursive apply by Brindle (bench_apply: window shown offscreen,
#       item inspected, Apply) on 1,000 folders x 100 files the user owns,
#       against `chmod -R` on the same tree. Whole processes on both sides,
#       interleaved in alternating order, every run a real change; median
#       and spread of the wall time, peak memory from /usr/bin/time -v.
#   P2: helper-needing items per second, on the root-owned fixture folder
#       of 1,000 files that scripts/test-env.sh makes.
#   Between them, bench_walk: fts against the enumerator's own walk.
# Usage: apply.sh BUILD_DIR   (scripts/bench.sh runs it as brindle-tester)
set -euo pipefail
build=${1:?usage: apply.sh BUILD_DIR}
runs=${BRINDLE_BENCH_RUNS:-7}
work=$(mktemp -d "${TMPDIR:-/tmp}/brindle-bench-apply.XXXXXX")
trap 'rm -rf "$work"' EXIT
tree="$work/tree"

mkdir "$tree" "$work/empty"
for d in $(seq -w 1 1000); do
  mkdir "$tree/folder-$d"
  (cd "$tree/folder-$d" && touch file-{001..100})
done

# Wall time in ms and peak memory in KiB of one whole process.
measure() {
  local name=$1; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time" "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(awk '/Maximum resident set size/ {print $6}' "$work/time")" >> "$work/times-$name"
}

# Median, lowest and highest of column $2 in file $1.
summary() {
  sort -n -k"$2","$2" "$1" | awk -v c="$2" '{v[NR]=$c} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%s %s %s", m, v[1], v[NR]}'
}

modes=(750 755)
n=0
for i in $(seq 1 "$runs"); do
  if (( i % 2 )); then order=(brindle chmod empty); else order=(empty chmod brindle); fi
  for side in "${order[@]}"; do
    case $side in
      brindle) measure brindle "$build/bench/bench_apply" "$tree" "${modes[$(( n++ % 2 ))]}" ;;
      chmod) measure chmod chmod -R "${modes[$(( n++ % 2 ))]}" "$tree" ;;
      # What every apply costs before the walk: start, window, authentication.
      empty) measure empty "$build/bench/bench_apply" "$work/empty" 755 ;;
    esac
  done
done

read -r bm blo bhi <<<"$(summary "$work/times-brindle" 1)"
read -r cm clo chi <<<"$(summary "$work/times-chmod" 1)"
read -r bmem _ _ <<<"$(summary "$work/times-brindle" 2)"
read -r cmem _ _ <<<"$(summary "$work/times-chmod" 2)"
read -r em elo ehi <<<"$(summary "$work/times-empty" 1)"
echo "P1: 100,000 entries + 1,001 folders, $runs runs each, interleaved"
printf "  Brindle apply:  median %6s ms (%s..%s), peak memory %s KiB\n" "$bm" "$blo" "$bhi" "$bmem"
printf "  chmod -R:       median %6s ms (%s..%s), peak memory %s KiB\n" "$cm" "$clo" "$chi" "$cmem"
awk -v b="$bm" -v c="$cm" 'BEGIN {printf "  ratio: %.2fx (goal: at most 1.5x)\n", b / c}'
printf "  of which start, window and authentication (an empty folder): median %s ms (%s..%s)\n" "$em" "$elo" "$ehi"
awk -v b="$bm" -v c="$cm" -v e="$em" 'BEGIN {printf "  the walk alone against chmod -R: %.2fx\n", (b - e) / c}'

echo "The deep enumerator's choice: ways of walking the same tree, in one process"
"$build/bench/bench_walk" "$tree" 5 | sed 's/^/  /'

echo "P2: items that need the helper, root-owned fixture folder"
fixtures=${BRINDLE_FIXTURES:-/run/brindle-tests/fixtures}/bench
"$build/bench/bench_apply" "$fixtures" 755 --rate | sed 's/^/  /'
echo "  goal: at least 200 items per second"
