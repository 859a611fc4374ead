#!/usr/bin/env bash
# The sample Makefile with kestrelc's dependency files: a build, nothing to do after it, a build
# again once an include file has changed, and nothing to do after that.
#
# Usage: make_test.sh KESTRELC SOURCE_DIR
set -euo pipefail

kestrelc=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

cp "$source_dir/examples/Makefile" "$source_dir/examples/MAIN.BAS" "$source_dir/examples/PINS.BAS" \
  "$work/"
cd "$work"
build() { make --no-print-directory KESTRELC="$kestrelc"; }

build >first.log 2>&1 || { cat first.log >&2; fail "the first build"; }
[ -s BLINK.BAS ] || fail "the first build wrote no BLINK.BAS"
grep -q "PINS.BAS" BLINK.d || fail "BLINK.d does not name the include file PINS.BAS"
build >second.log 2>&1
grep -q "'BLINK.BAS' is up to date" second.log || { cat second.log >&2; fail "a second build did work"; }

# A time after the result's, whatever the file system's resolution.
touch -d "@$(($(date +%s) + 5))" PINS.BAS
build >third.log 2>&1
grep -q -- "--deps BLINK.d" third.log || { cat third.log >&2; fail "a changed include did not rebuild"; }
touch -d "@$(($(date +%s) + 10))" BLINK.BAS
build >fourth.log 2>&1
grep -q "'BLINK.BAS' is up to date" fourth.log || { cat fourth.log >&2; fail "the rebuild left work"; }

# A removed include does not stop make: its empty rule stands in for it.
rm PINS.BAS
if build >fifth.log 2>&1; then fail "a source without its include compiled cleanly"; fi
grep -q "No rule to make target" fifth.log && { cat fifth.log >&2; fail "make stopped at the removed include"; }
echo "make: build, up to date, rebuild after an include changed, up to date"
