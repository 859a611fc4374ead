#!/usr/bin/env bash
# kestrelc on sources that never end or that grow without end: devices, a sparse file far larger
# than the load bound, includes that fan out, a loop of links, and standard input closed or a
# folder. Each ends within seconds with the whole result or the failure it should report (a
# minute is allowed, for a busy machine). The program's address space is capped, so that a
# regression fails here instead of taking the machine's memory; under the sanitizers, whose shadow
# memory needs more address space than any cap, its resident memory is capped instead.
#
# Usage: hostile_test.sh KESTRELC CAP_MEMORY(ON|OFF)
set -euo pipefail

kestrelc=$1
cap_memory=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

bound="Over the load bound"
[ "$cap_memory" = ON ] || export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=2048"
limits() {
  [ "$cap_memory" != ON ] || ulimit -v $((1024 * 1024))
  "$@"
}

# Runs kestrelc with the arguments after the first three and checks its exit status ($2) and that
# its standard error holds $3; $1 names the case.
expect() {
  local name=$1 status=$2 text=$3 got=0
  shift 3
  limits timeout 60 "$kestrelc" "$@" >out.txt 2>err.txt || got=$?
  [ "$got" = "$status" ] || fail "$name: exit status $got, not $status: $(head -c 300 err.txt)"
  [ -z "$text" ] || grep -qF -- "$text" err.txt || fail "$name: no \"$text\" in: $(head -c 300 err.txt)"
  echo "$name: exit status $got, as expected"
}

expect "the zero device" 2 "$bound" /dev/zero
expect "the random device" 2 "$bound" /dev/urandom
expect "the zero device as standard input" 2 "$bound" - </dev/zero
truncate -s 100G sparse.bas
expect "a sparse file of 100 GB" 2 "$bound" sparse.bas
truncate -s 300M large.bas
expect "a source of 300 MB" 2 "$bound" large.bas
printf 'A\r\n#include sparse.bas\r\n' >includes_sparse.bas
expect "a sparse file included" 2 "$bound" includes_sparse.bas
printf '#include %s\r\n' "$(realpath --relative-to="$work" /dev/zero)" >includes_zero.bas
expect "the zero device included" 2 "$bound" includes_zero.bas
ln -s loop.bas loop.bas
expect "a loop of links" 2 "Too many levels of symbolic links" loop.bas

rm -f out.bas
expect "standard input closed" 2 "Bad file name or number" -o out.bas - <&-
expect "a folder as standard input" 2 "Path/File access error" -o out.bas - <"$work"
[ ! -e out.bas ] || fail "a failed read of standard input wrote out.bas"

# Each file includes the next one twice: the last of $1 files holds the line $2, or one line.
fan_out() {
  local depth=$1 i
  mkdir "fan$depth"
  for ((i = 0; i < depth; i++)); do
    printf '#include F%d.BAS\r\n#include F%d.BAS\r\n' $((i + 1)) $((i + 1)) >"fan$depth/F$i.BAS"
  done
  printf '%s\r\n' "${2:-PRINT 1}" >"fan$depth/F$depth.BAS"
}
fan_out 22
# 2^22 lines are well within the bound: the load ends whole, and its rule names every file once.
expect "includes that fan out 22 deep" 0 "" -M fan22/F0.BAS
[ "$(grep -c 'F[0-9]*\.BAS:$' out.txt)" = 22 ] || fail "the rule does not name the 22 includes once"
fan_out 40
expect "includes that fan out 40 deep" 2 "$bound" fan40/F0.BAS
# The include at the bottom fails on each of 2^30 paths, the same way: it is reported once.
fan_out 30 "#include MISSING.BAS"
expect "includes that fan out 30 deep to a missing file" 1 "MISSING.BAS" fan30/F0.BAS
[ "$(grep -c MISSING.BAS err.txt)" = 1 ] || fail "the missing file is not reported once: $(head -c 300 err.txt)"
# An include of the nest's own top at its bottom fails by where it stands, so nothing below the top
# is repeated: the load ends after as many expansions as it may make.
fan_out 31 "#include F0.BAS"
expect "includes that fan out 31 deep to their own top" 2 "Too many files" fan31/F0.BAS
