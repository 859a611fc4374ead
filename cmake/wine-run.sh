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
# A program connects to the prefix's Wine server, starting one when none runs. Debian's wineserver
# wrapper starts it with -p0: it ends the moment its last program has gone, and a program that
# connects at that moment, as the next of a series run one after another or side by side does,
# fails before it runs, silently. A server started here first stays for some seconds after its
# last program instead, longer than any gap between two programs of a run; when a server runs
# already, this one leaves at once and the running one serves.
wineserver -p10 2>/dev/null || true
exec wine "$@"
