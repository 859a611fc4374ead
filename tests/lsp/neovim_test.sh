#!/usr/bin/env bash
# Runs neovim_test.lua headless against kestrel-lsp, in a sample project of a fresh folder, with
# Neovim's own files kept there too.
#
#   neovim_test.sh SERVER
set -euo pipefail

server=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
project="$work/project"
mkdir -p "$project/lib" "$work/cache" "$work/state" "$work/config" "$work/data"
printf '%s\r\n' '#define VOLT EQU 5' '#include util.bas' 'PRINT VOLT' 'GOTO [LOOP]' '[TOP]' \
  'GOTO [GONE]' >"$project/main.bas"
printf '%s\r\n' 'PRINT "util"' '[LOOP]' >"$project/lib/util.bas"

export XDG_CACHE_HOME="$work/cache" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data" KESTREL_LSP="$server" KESTREL_PROJECT="$project"
cd "$project"
timeout 120 nvim --headless --clean -n -c "luafile $here/neovim_test.lua" </dev/null
