#!/usr/bin/env bash
# The games as a player installs them: build the Debian package and the
# tarball (from the play preset, or from the build folder given, which CI's
# test build is), check what the package holds, install into a
# scratch prefix, and start the installed programs: --help without a
# terminal, and a battle and the field from an empty folder on a
# pseudo-terminal, where they must find the installed sample data. The
# installed tree is then moved, and must still find its data.
set -euo pipefail
cd "$(dirname "$0")/.."

. .ci/packages.sh
install_packages cmake ninja-build g++ pkg-config libncurses-dev dpkg-dev man-db tmux

fail() { echo "install check failed: $*" >&2; exit 1; }

# Usage: .ci/install.sh [build folder]
build=${1:-}

echo "== Package =="
if [ -z "$build" ]; then
  build=build/play
  rm -rf "$build/packages"
  cmake --workflow --preset package >/dev/null
else
  rm -rf "$build/packages"
  cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >/dev/null
fi
deb=$(ls "$build"/packages/*.deb)
ls "$build"/packages/*.tar.gz >/dev/null || fail "no tarball"
contents=$(dpkg-deb -c "$deb")
for path in usr/bin/battle usr/bin/field usr/share/pawn-battle/Hero_Status_Info.txt \
            usr/share/pawn-battle/Pawn_Status_Info.txt usr/share/pawn-battle/AbsoluteObedience.txt \
            usr/share/pawn-battle/test.txt usr/share/man/man6/battle.6 usr/share/man/man6/field.6 \
            usr/share/doc/pawn-battle/README.md usr/share/doc/pawn-battle/LICENSE; do
  grep -q " \./$path\$" <<<"$contents" || fail "$deb lacks /$path"
done
dpkg-deb -f "$deb" Depends | grep -q libncursesw || fail "the package does not depend on ncurses"
echo "$deb: programs, data, manual pages and documents present"

scratch=$(mktemp -d)
trap 'tmux -L rpg-install kill-server 2>/dev/null || true; rm -rf "$scratch"' EXIT
prefix="$scratch/prefix"
empty="$scratch/empty"
mkdir -p "$empty"

echo "== Install into a scratch prefix =="
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in battle field; do
  out=$("$prefix/bin/$program" --help </dev/null) || fail "$program --help exited with $?"
  grep -q "^Usage: $program " <<<"$out" || fail "$program --help printed no usage"
  "$prefix/bin/$program" --version | grep -q "^$program (Pawn Battle) " || fail "$program --version"
  status=0
  err=$("$prefix/bin/$program" --no-such-option 2>&1 </dev/null) || status=$?
  [ "$status" -eq 2 ] || fail "$program with an unknown option exited with $status, not 2"
  case "$err" in "$program: $program:"*) fail "the program's name twice: $err" ;; esac
  # The pages hold Japanese text: they are read in a UTF-8 locale, as a player would.
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$prefix/share/man/man6/$program.6" >/dev/null 2>"$scratch/man.err" || fail "man -l $program.6"
  [ ! -s "$scratch/man.err" ] || fail "man -l $program.6 warns: $(cat "$scratch/man.err")"
  # The page's footer names the version the program prints.
  version=$("$prefix/bin/$program" --version | sed -n '1s/^.* //p')
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$prefix/share/man/man6/$program.6" 2>/dev/null | grep -q "Pawn Battle $version" ||
    fail "man -l $program.6 does not show version $version"
done
echo "--help, --version, usage errors and the manual pages work"

# Starts an installed program in the empty folder on a pseudo-terminal and
# waits until its screen shows every text given.
play_from_empty_folder() {
  local program=$1
  shift
  tmux -L rpg-install kill-server 2>/dev/null || true
  LANG=C.UTF-8 LC_ALL=C.UTF-8 tmux -L rpg-install -u new-session -d -x 80 -y 24 -c "$empty" \
    "env TERM=xterm-256color $program --seed 7; sleep 30"
  local screen=""
  for _ in $(seq 100); do
    sleep 0.2
    screen=$(tmux -L rpg-install capture-pane -p)
    local all=1
    for text in "$@"; do grep -qF -- "$text" <<<"$screen" || all=0; done
    if [ $all -eq 1 ]; then
      tmux -L rpg-install kill-server
      return 0
    fi
  done
  echo "$screen" >&2
  fail "$program from an empty folder did not show: $*"
}

echo "== The installed programs from an empty folder =="
play_from_empty_folder "$prefix/bin/battle" "Enemy View" "にげる" "HP : 60 / 60"
play_from_empty_folder "$prefix/bin/field" "●"
[ -z "$(ls -A "$empty")" ] || fail "the programs wrote into the current folder"
echo "battle and field play the installed data"

mv "$prefix" "$scratch/moved"
play_from_empty_folder "$scratch/moved/bin/battle" "Enemy View" "HP : 60 / 60"
echo "a moved installation still finds its data"
