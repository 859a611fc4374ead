#!/usr/bin/env bash
# Kestrel's Vim files in a headless Neovim: :make with the kestrelc compiler file fills the
# quickfix list at the file, line and column of a failing source; the file-type detection and
# the syntax groups follow the notation. Neovim runs with every XDG folder in a temporary folder,
# so no user's configuration takes part, and under a timeout.
# Usage: vim_make_test.sh KESTRELC SOURCE_DIR
set -euo pipefail

kestrelc=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/bin" "$work/project"
chmod 700 "$XDG_RUNTIME_DIR"
# makeprg names kestrelc as an installed program is named.
ln -s "$kestrelc" "$work/bin/kestrelc"
export PATH=$work/bin:$PATH

cd "$work/project"
# The sources as Kestrel keeps them: Windows-1251 with CR LF. "\xcf\xf3\xf1\xea" is "Пуск".
printf '#include PINS.BAS\r\n100\r\n[START]\r\nREM \xcf\xf3\xf1\xea\r\nGOTO [START]\r\n' > MAIN.BAS
printf '#define LED EQU 13\r\n  3000\r\n' > PINS.BAS
printf 'PRINT 1\r\n[A]\r\nGOTO [B]\r\n' > LABELS.BAS
printf '#define LED EQU 13\r\nPRINT LED\r\n' > GOOD.BAS
printf '10 PRINT "HELLO"\r\n20 GOTO 10\r\n' > OTHER.bas

status=0
timeout 60 nvim --headless -u NONE -i NONE -n \
  --cmd "set runtimepath^=$source_dir/editors/vim" \
  -S "$source_dir/tests/editors/vim_make_test.vim" > "$work/nvim.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || [ -s errors.txt ]; then
  echo "Neovim ended with status $status"
  cat "$work/nvim.log" errors.txt 2>/dev/null
  exit 1
fi
echo "passed: :make, detection and syntax in $(nvim --version | head -n 1)"
