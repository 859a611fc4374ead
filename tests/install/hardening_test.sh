#!/usr/bin/env bash
# Reads built programs and fails unless each carries the hardening of an optimised build: a
# position-independent executable, full RELRO with immediate binding, the stack protector, and
# fortified C library calls.
#
# Usage: hardening_test.sh READELF PROGRAM...
set -euo pipefail

readelf=$1
shift

# C library functions that _FORTIFY_SOURCE replaces by their checking variant __NAME_chk. memcpy,
# memmove and memset are not among them: they stay unchecked wherever the size of their target is
# not known at compile time, fortified or not.
fortifiable='asprintf|confstr|dprintf|fgets|fprintf|fread|getcwd|gethostname|mbsrtowcs|mbstowcs|'
fortifiable+='pread|printf|read|readlink|realpath|recv|snprintf|sprintf|stpcpy|stpncpy|strcat|'
fortifiable+='strcpy|strncat|strncpy|swprintf|vasprintf|vdprintf|vfprintf|vprintf|vsnprintf|'
fortifiable+='vsprintf|wcrtomb|wcscpy|wcsncpy|wcsrtombs|wcstombs|wctomb|wmemcpy|wprintf'

failures=0
fail() {
  echo "FAILED: $1: $2" >&2
  failures=$((failures + 1))
}

# Each row: what is checked, the readelf options, and a pattern that its output must hold.
checks=(
  "position independence (PIE)|-dW|\(FLAGS_1\).*Flags:.* PIE"
  "full RELRO (a GNU_RELRO segment)|-lW|^ *GNU_RELRO "
  "immediate binding (-z now)|-dW|\(FLAGS_1\).*Flags:.* NOW"
  "the stack protector (calls of __stack_chk_fail)|--dyn-syms -W| UND __stack_chk_fail"
)

check_fortified() {
  local program=$1 imported
  imported=$("$readelf" --dyn-syms -W "$program" | awk '$7 == "UND" { sub(/@.*/, "", $8); print $8 }')
  if grep -qxE "($fortifiable)" <<<"$imported" && ! grep -qxE "__($fortifiable)_chk" <<<"$imported"; then
    fail "$program" "calls $(grep -xE "($fortifiable)" <<<"$imported" | paste -sd ' ') unfortified"
  fi
}

[ $# -gt 0 ] || { echo "usage: hardening_test.sh READELF PROGRAM..." >&2; exit 2; }
for program; do
  [ -f "$program" ] || { fail "$program" "not built"; continue; }
  for check in "${checks[@]}"; do
    IFS='|' read -r what options pattern <<<"$check"
    # shellcheck disable=SC2086 # the options are several words
    output=$("$readelf" $options "$program")
    grep -qE -- "$pattern" <<<"$output" || fail "$program" "lacks $what"
  done
  check_fortified "$program"
done
[ "$failures" -eq 0 ] || exit 1
echo "hardening test passed: $*"
