#!/usr/bin/env bash
# Times kestrelc against `gzip -1 -c` on the same bytes, interleaved in one run (each round runs
# every program once on the input, in turn), and prints the medians and their ratio for every named
# input of make_bench_source; then the typical source's time over the empty file's, interleaved
# likewise, and the peak resident memory on the limit source and on an empty file, with the
# difference over the source's size.
#
#   bench/versus_gzip.sh BUILD_DIR [ROUNDS] [INPUT ...]
#
# KESTRELC_BEFORE=path/to/another/kestrelc adds that program to every round, for a before and
# after from the same run. VERSUS_GZIP_CLOCK=cpu times processor time instead of wall-clock time.
set -euo pipefail

build=${1:?usage: versus_gzip.sh BUILD_DIR [ROUNDS] [INPUT ...]}
rounds=${2:-9}
shift $(($# < 2 ? $# : 2))
kestrelc="$build/bin/kestrelc"
maker="$build/bin/make_bench_source"
before=${KESTRELC_BEFORE:-}

inputs=("$@")
if ((${#inputs[@]} == 0)); then
  mapfile -t inputs < <("$maker" 2>&1 | sed -n 's/^  \([a-z-]*\): .*/\1/p')
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/empty.bas"

# Microseconds one command takes, its output thrown away: wall-clock time, or with
# VERSUS_GZIP_CLOCK=cpu the processor time `perf stat` counts (steadier on a busy machine).
time_us() {
  if [ "${VERSUS_GZIP_CLOCK:-wall}" = cpu ]; then
    perf stat -x, -e task-clock -o "$work/perf.csv" -- "$@" >/dev/null 2>&1 || true
    awk -F, '/task-clock/ {printf "%d\n", $1 * 1000}' "$work/perf.csv"
    return
  fi
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  local end=$EPOCHREALTIME
  echo $((${end/./} - ${start/./}))
}

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

printf '%-28s %10s %10s %10s %8s' input bytes gzip_ms kestrelc_ms ratio
[ -n "$before" ] && printf ' %10s %8s' before_ms ratio
printf '\n'
for name in empty "${inputs[@]}"; do
  source="$work/$name.bas"
  [ "$name" = empty ] || "$maker" "$name" >"$source"
  for times in gzip kestrelc before; do : >"$work/$times.t"; done
  for ((r = 0; r < rounds; r++)); do
    time_us gzip -1 -c "$source" >>"$work/gzip.t"
    time_us "$kestrelc" -o "$work/out.bas" "$source" >>"$work/kestrelc.t"
    [ -z "$before" ] || time_us "$before" -o "$work/out.bas" "$source" >>"$work/before.t"
  done
  g=$(median <"$work/gzip.t")
  k=$(median <"$work/kestrelc.t")
  awk -v n="$name" -v s="$(stat -c %s "$source")" -v g="$g" -v k="$k" \
    'BEGIN {printf "%-28s %10d %10.2f %10.2f %8.2f", n, s, g / 1000, k / 1000, k / g}'
  if [ -n "$before" ]; then
    b=$(median <"$work/before.t")
    awk -v g="$g" -v b="$b" 'BEGIN {printf " %10.2f %8.2f", b / 1000, b / g}'
  fi
  printf '\n'
done | tee "$work/table"

# The typical source against starting on an empty file, in rounds of their own that run each in
# turn, so that both meet the machine in the same state. Each replaces its own output of the round
# before, as a build that runs again does: replacing a file costs more the larger the old one.
"$maker" typical >"$work/typical.bas"
programs=("$kestrelc" ${before:+"$before"})
for i in "${!programs[@]}"; do
  : >"$work/empty.$i.t"
  : >"$work/typical.$i.t"
done
for ((r = 0; r < rounds; r++)); do
  for i in "${!programs[@]}"; do
    time_us "${programs[$i]}" -o "$work/out-empty.$i.bas" "$work/empty.bas" >>"$work/empty.$i.t"
    time_us "${programs[$i]}" -o "$work/out-typical.$i.bas" "$work/typical.bas" >>"$work/typical.$i.t"
  done
done
for i in "${!programs[@]}"; do
  awk -v p="${programs[$i]}" -v e="$(median <"$work/empty.$i.t")" \
    -v t="$(median <"$work/typical.$i.t")" \
    'BEGIN {printf "typical / empty file, %s: %.2f (%.2f ms / %.2f ms)\n", p, t / e, t / 1000, e / 1000}'
done

"$maker" limit >"$work/limit.bas"
limit_bytes=$(stat -c %s "$work/limit.bas")
declare -A peak
for program in "${programs[@]}"; do
  for name in empty limit; do
    kib=$(/usr/bin/time -f %M "$program" -o "$work/out.bas" "$work/$name.bas" 2>&1 >/dev/null | tail -1)
    echo "peak resident memory, $name source, $program: $kib KiB"
    peak[$name]=$kib
  done
  awk -v e="${peak[empty]}" -v l="${peak[limit]}" -v s="$limit_bytes" \
    'BEGIN {printf "limit above empty: %d KiB, %.2f times the source\n", l - e, (l - e) * 1024 / s}'
done
