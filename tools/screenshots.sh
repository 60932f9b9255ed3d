#!/usr/bin/env bash
# Makes the README's pictures from the real programs: each runs in xterm on a
# virtual X display (Xvfb) with a CJK font, is played with xdotool, and the
# window is captured with ImageMagick. The battle is seeded, so the same keys
# give the same picture after a change; the field's chase depends on timing
# and may differ by a step.
#
#   tools/screenshots.sh [build folder [output folder]]
#
# The build folder defaults to build/play (built if missing), the output
# folder to doc/. Needs: xvfb, xterm, xdotool, x11-utils, imagemagick,
# fonts-noto-cjk. Writes battle.png, field.png and battle-turn.gif into the
# output folder, and fails when any step does.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/play}
out=${2:-doc}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
case "$out" in /*) ;; *) out="$root/$out" ;; esac
if [ ! -x "$build/bin/battle" ]; then cmake --workflow --preset play >/dev/null; fi

seed=7
font="DejaVu Sans Mono"
wide_font="Noto Sans Mono CJK JP"
display=:$((90 + RANDOM % 100))
work=$(mktemp -d)
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
term_pid=
cleanup() {
  [ -n "$term_pid" ] && kill "$term_pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# Starts a program in an xterm of the given size, in the data folder, and
# sets `window` to the xterm's window once it is mapped.
window=
start_term() {
  local columns=$1 rows=$2
  shift 2
  (cd "$root/assets" && LANG=C.UTF-8 LC_ALL=C.UTF-8 exec xterm -geometry "${columns}x${rows}+0+0" \
     -fa "$font" -fd "$wide_font" -fs 13 -bg black -fg grey80 -b 6 +sb -e "$@") >/dev/null 2>&1 &
  term_pid=$!
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$term_pid" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "xterm did not start" >&2; exit 1; }
  xdotool windowfocus --sync "$window"
}

key() { xdotool key --delay 0 "$1"; }
shot() { import -window "$1" "$2"; }

stop_term() {
  kill "$term_pid" 2>/dev/null || true
  wait "$term_pid" 2>/dev/null || true
  term_pid=
}

# The battle: fight the first pawn with the first skill; the picture shows
# the target banner, the ability list, the messages and the HP bar after the
# pawns' answer.
start_term 80 19 "$build/bin/battle" --seed "$seed"
sleep 3  # the start-up animation
frames=()
frame() {
  local file="$work/frame$(printf %02d ${#frames[@]}).png"
  shot "$window" "$file"
  frames+=("$file")
}
frame
for wait in 1.5 1.5 2.5 3 3; do
  key Return
  sleep "$wait"
  frame
done
cp "${frames[-1]}" "$work/battle.png"
stop_term

# The field: the hero walks out of its corner towards the pawn, which comes
# out to meet it.
start_term 54 19 "$build/bin/field" --seed "$seed"
sleep 2.5  # the opening wipe
for step in Up Right Up Up Up Up Left Left Left Left Left Left Left Left Left Left Left Left; do
  key "$step"
  sleep 0.12
done
sleep 1.5
shot "$window" "$work/field.png"
stop_term

# A program that never drew leaves a blank window: a picture of one or two
# colours (the background and the cursor) is a failure.
for picture in "$work/battle.png" "$work/field.png"; do
  colours=$(convert "$picture" -format %k info:)
  [ "$colours" -gt 2 ] || { echo "$(basename "$picture") shows nothing ($colours colours)" >&2; exit 1; }
done

# Fewer colours keep the pictures small; the screen has only a handful.
mkdir -p "$out"
convert "$work/battle.png" -colors 32 -strip "png8:$out/battle.png"
convert "$work/field.png" -colors 32 -strip "png8:$out/field.png"
convert -delay 150 "${frames[@]}" -colors 32 -layers Optimize -loop 0 "$out/battle-turn.gif"
ls -l "$out/battle.png" "$out/field.png" "$out/battle-turn.gif"
