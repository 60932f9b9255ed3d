#!/usr/bin/env bash
# Starts wine's background processes afresh for the scenarios (ctest -L wine
# runs this first): the wine server held open, the prefix brought up to date,
# so that none of them is started by a scenario and holds its output open.
export LANG=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/rpg-wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver -k >/dev/null 2>&1
wineserver -w >/dev/null 2>&1
wineserver -p </dev/null >/dev/null 2>&1
exec wineboot -i </dev/null >/dev/null 2>&1
