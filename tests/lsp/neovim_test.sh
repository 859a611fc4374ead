#!/usr/bin/env bash
# Runs neovim_test.lua headless against kestrel-lsp, with editors/vim on the runtime path and the
# server on PATH under its installed name, on a sample project of a fresh folder, with Neovim's
# own files kept there too. Neovim starts outside the project, so the project is found only
# through the root the test gives.
#
#   neovim_test.sh SERVER
set -euo pipefail

server=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
vim_files=$(realpath "$here/../../editors/vim")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project="$work/project"
mkdir -p "$project/lib" "$work/bin" "$work/cache" "$work/state" "$work/config" "$work/data"
# Both files use the notation on a first line, so Neovim detects them as Kestrel files.
printf '%s\r\n' '#define VOLT EQU 5' '#include util.bas' 'PRINT VOLT' 'GOTO [LOOP]' '[TOP]' \
  'GOTO [GONE]' >"$project/main.bas"
printf '%s\r\n' 'PRINT "util"' '[LOOP]' >"$project/lib/util.bas"
printf '%s\r\n' '10 PRINT 1' '20 GOTO 10' >"$project/numbered.bas"
ln -s "$server" "$work/bin/kestrel-lsp"

export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data" KESTREL_PROJECT="$project" PATH="$work/bin:$PATH"
cd "$work"
timeout 120 nvim --headless --clean -n --cmd "set runtimepath^=$vim_files" \
  -c "luafile $here/neovim_test.lua" </dev/null
