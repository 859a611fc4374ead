#!/usr/bin/env bash
# kestrelc's streams as a shell hands them over: a full device, a closed descriptor, a log opened
# for appending and named by /dev/stderr. Every failure to write fails the run; nothing written
# before to a stream is lost.
#
# Usage: streams_test.sh KESTRELC
set -uo pipefail

kestrelc=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
printf 'AA\r\nBB\r\n' >s.bas
failed=0
# The failures are told on the script's own standard error, which each command's redirections leave
# alone.
exec 3>&2

# expect STATUS DESCRIPTION COMMAND...: the command's exit status is STATUS.
expect() {
  local want=$1 what=$2 got
  shift 2
  "$@"
  got=$?
  if [ "$got" -ne "$want" ]; then
    echo "FAILED: $what: exit status $got, not $want" >&3
    failed=1
  fi
}

expect 1 "-M onto a full device" "$kestrelc" -M s.bas >/dev/full 2>err.txt
grep -q "standard output: Disk full" err.txt || { echo "FAILED: -M onto a full device: not told" >&2; failed=1; }
expect 1 "--help onto a full device" "$kestrelc" --help >/dev/full 2>/dev/null
expect 1 "--version onto a full device" "$kestrelc" --version >/dev/full 2>/dev/null
expect 1 "the result onto a full device" "$kestrelc" s.bas >/dev/full 2>/dev/null
expect 1 "-M with standard output closed" "$kestrelc" -M s.bas >&- 2>/dev/null
expect 0 "-o FILE with standard output closed" "$kestrelc" -q -o o.bas s.bas >&-
expect 1 "messages onto a full device" "$kestrelc" -o o.bas s.bas 2>/dev/full

echo "before" >build.log
expect 0 "-o /dev/stderr onto a log" "$kestrelc" -q -o /dev/stderr s.bas 2>>build.log
echo "after" >>build.log
if [ "$(cat build.log)" != "$(printf 'before\n0000 AA\r\n0001 BB\r\nafter')" ]; then
  echo "FAILED: -o /dev/stderr replaced the log it names:" >&2
  cat -A build.log >&2
  failed=1
fi
exit "$failed"
