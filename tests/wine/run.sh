#!/usr/bin/env bash
# Runs a Windows program under wine with the environment it needs on a machine
# without a display: UTF-8 for the console (without it every Japanese character
# shows as "?"), a prefix of its own, and no debugging chatter.
export LANG=${RPG_WINE_LANG:-C.UTF-8}
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/rpg-wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
