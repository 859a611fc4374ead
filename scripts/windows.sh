#!/usr/bin/env bash
# Cross-builds the core, kestrelc, kestrel-lsp and their tests for Windows with MinGW-w64, runs the
# tests under Wine (the language server's transcripts among them), and checks kestrelc.exe against the Linux build: the sample project compiled with each
# comment option, from a source with a Cyrillic name and from another folder, with kestrelc.exe
# taken from the Windows zip; and a message on a console.
#   scripts/windows.sh LINUX_KESTRELC
set -euo pipefail
cd "$(dirname "$0")/.."

linux_kestrelc=$(realpath "$1")
root=$PWD
build=$root/build-windows
jobs=$(nproc)

cmake -S . -B "$build" --toolchain cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_GUI=OFF -DKESTREL_BENCH=OFF
cmake --build "$build" -j"$jobs"

fail() {
  echo "windows: $*" >&2
  exit 1
}

export WINEPREFIX="$build/wine-prefix"
wineserver --wait

# Wine run by root writes a read-only file, which Windows refuses, so the disk layer's test of one
# skips itself there. It runs here again in a user namespace of its own, where root's rights over
# other users' files are gone, with a Wine server of its own: the server opens the files, so it
# runs in the namespace too, before the run's server starts, and has ended when the test is done.
readonly_test=DiskFiles.AReadOnlyFileIsReadButNotWritten
if [ "$(id -u)" = 0 ]; then
  if unshare --user true 2>/dev/null; then
    result=$(unshare --user bash -c '"$@"; status=$?; wineserver --wait; exit $status' - \
      "$root/cmake/wine-run.sh" "$WINEPREFIX" "$build/bin/core_tests.exe" \
      --gtest_filter="$readonly_test" 2>&1) || fail "$readonly_test failed: $result"
    grep -qF '[  PASSED  ] 1 test.' <<<"$result" || fail "$readonly_test did not run: $result"
    echo "windows: $readonly_test passed as a user who is not root"
  else
    echo "windows: $readonly_test not run: no user namespace here, and Wine run by root writes" \
      "read-only files"
  fi
fi

# One Wine server for the whole run: one that ends between two programs can drop a program that
# connects just then ("recvmsg: Connection reset by peer"). Debian's wineserver wrapper starts
# every server with -p0, so a server that a program starts ends the moment the last program has
# gone, not a few seconds later; --persistent, given after it, overrides that.
# Wine's own background programs start with the first program and live as long as the server;
# started here, they keep no test's output open, which the test's reader would wait on.
wineserver --persistent
"$root/cmake/wine-run.sh" "$WINEPREFIX" cmd /c exit </dev/null >/dev/null 2>&1
work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver --kill' EXIT

ctest --test-dir "$build" --output-on-failure -j"$jobs"
cmake --build "$build" --target package

# The zip holds kestrelc.exe, kestrel-lsp.exe and the sample; the programs need no DLL but
# Windows' own.
zip=$(echo "$build"/kestrelc-*-win64.zip)
(cd "$work" && cmake -E tar xf "$zip")
unpacked="$work/$(basename "$zip" .zip)"
windows_kestrelc="$unpacked/kestrelc.exe"
[ -f "$windows_kestrelc" ] && [ -f "$unpacked/kestrel-lsp.exe" ] &&
  [ -f "$unpacked/examples/MAIN.BAS" ] || fail "the zip lacks kestrelc.exe, kestrel-lsp.exe or the sample"
for program in "$windows_kestrelc" "$unpacked/kestrel-lsp.exe"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p')
  foreign=$(grep -viE '^(kernel32|msvcrt|user32|advapi32|shell32|ws2_32|api-ms-win-[a-z0-9-]+)\.dll$' \
    <<<"$imports" || true)
  [ -z "$foreign" ] || fail "$(basename "$program") needs DLLs that Windows does not have: $foreign"
done

wine_run() { "$root/cmake/wine-run.sh" "$build/wine-prefix" "$@"; }

# Runs kestrelc ($1: linux or windows) in the folder $2 with the arguments after them; leaves its
# standard output, standard error (line ends made LF), exit status and files written in $work.
run_kestrelc() {
  local side=$1 folder=$2 status=0
  shift 2
  local program=("$linux_kestrelc")
  [ "$side" = linux ] || program=(wine_run "$windows_kestrelc")
  rm -f "$folder/OUT.BAS" "$folder/OUT.MAP"
  (cd "$folder" && "${program[@]}" "$@") >"$work/$side.out" 2>"$work/$side.err" || status=$?
  sed -i 's/\r$//' "$work/$side.err"
  echo "$status" >"$work/$side.status"
  for file in OUT.BAS OUT.MAP; do
    [ ! -f "$folder/$file" ] || mv "$folder/$file" "$work/$side.$file"
  done
}

# Replaces every $2 in the file $1 with $3, leaving every other byte as it was.
replace_in() {
  local LC_ALL=C text
  text=$(cat "$1" && printf x)
  text=${text%x}
  printf '%s' "${text//"$2"/"$3"}" >"$1"
}

# The same bytes on both sides for standard output, standard error, the exit status and every
# file written, except that an include file's path is composed from each platform's name of its
# folder.
compare() {
  local name=$1 folder=$2 linux_folders windows_folders i part
  shift 2
  run_kestrelc linux "$folder" "$@"
  run_kestrelc windows "$folder" "$@"
  # Every folder below, deepest first, with its name on each side.
  mapfile -t linux_folders < <(find "$(cd "$folder" && pwd)" -type d | sort -r)
  mapfile -t windows_folders < <(wine_run winepath -w "${linux_folders[@]}" | tr -d '\r')
  for part in err OUT.MAP; do
    [ -f "$work/linux.$part" ] || continue
    for i in "${!linux_folders[@]}"; do
      replace_in "$work/linux.$part" "${linux_folders[i]}/" "${windows_folders[i]}\\"
    done
  done
  for part in status out err OUT.BAS OUT.MAP; do
    [ -f "$work/linux.$part" ] || [ -f "$work/windows.$part" ] || continue
    cmp "$work/linux.$part" "$work/windows.$part" ||
      fail "$name: the $part differs between Linux and Windows"
  done
  rm -f "$work"/linux.* "$work"/windows.*
  echo "windows: $name: the same as on Linux"
}

sample="$work/sample"
cp -r "$root/examples" "$sample"
compare "the sample" "$sample" MAIN.BAS
compare "the sample, --rem" "$sample" --rem -o OUT.BAS --map OUT.MAP MAIN.BAS
compare "the sample, --rem-unnumbered" "$sample" --rem-unnumbered -o OUT.BAS MAIN.BAS
cp "$root/examples/MAIN.BAS" "$sample/Мигалка.BAS"
compare "a source with a Cyrillic name" "$sample" --map OUT.MAP -- Мигалка.BAS
compare "the sample from another folder" "$work" --rem --map OUT.MAP sample/MAIN.BAS

# On a console the messages are shown as written, whatever the console's code page: a terminal
# gives a program under Wine a console.
printf 'AA\r\n3000\r\n' >"$work/bad.bas"
shown=$(cd "$work" && script -qec "$(printf '%q ' "$root/cmake/wine-run.sh" "$build/wine-prefix" \
  "$windows_kestrelc" bad.bas)" /dev/null </dev/null || true)
grep -qF "bad.bas:2:1: error: Ошибка номера строки!3000" <<<"$shown" ||
  fail "a message on the console is not shown as written: $shown"
echo "windows: a message on the console is shown as written"
