#!/usr/bin/env bash
# Runs a Windows program under Wine in a Wine prefix of its own: wine-run.sh PREFIX PROGRAM [ARG...]
# (PREFIX an absolute path; Wine sets it up at the first run). Nothing opens a window: no display
# is passed on, and mscoree and mshtml are switched off so that setting up the prefix does not
# offer to install Wine's .NET and browser add-ons. File names and arguments cross between Linux
# and Windows as UTF-8 whatever the caller's locale.
set -euo pipefail
export WINEPREFIX=$1
shift
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
exec wine "$@"
