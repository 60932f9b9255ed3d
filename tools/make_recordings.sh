#!/bin/bash
# Makes the golden recordings in tests/recordings/ again with the real
# programs: each is played in a tmux pane of 80 x 24 with a fixed seed, one
# key at a time once the screen is still, and recorded with --record. Run it
# after a deliberate change of what the game does or shows (the recordings
# test then says which recording went another way, and where); check with
# git diff that only what was meant changed.
#
#   tools/make_recordings.sh [build folder [only this recording]]
#
# Needs tmux. With RPG_SCREENS=FOLDER, the screens of each battle's last keys
# are kept there, to see that each run still shows what it is for. A
# recording is played on the sample data, with the edits its outcome needs
# where tests/recordings/NAME.edits lists them (a strong hero one point short
# of the next level, a fast one who gets away, a skill's file missing).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
only=${2:-}
out=$here/tests/recordings
work=$(mktemp -d)
session=rpg-recordings-$$
trap 'tmux kill-session -t $session 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$out"

screen_now() { tmux capture-pane -p -t "$session"; }

# Waits until the screen has not changed for half a second.
settle() {
    local before="" now same=0
    for _ in $(seq 1 400); do
        now=$(screen_now)
        if [ "$now" = "$before" ]; then
            same=$((same + 1))
            [ $same -ge 4 ] && return 0
        else
            same=0
        fi
        before=$now
        sleep 0.12
    done
}

# The program has ended (Ctrl+C may end the pane's shell with it).
ended() { ! tmux has-session -t "$session" 2>/dev/null || screen_now | grep -q '__ended__'; }

# record NAME PROGRAM SEED KEYS...: KEYS are tmux key names, KEY*N for N of
# them; "finish" sends Enter until the program ends (Ctrl+C after 300),
# "interrupt" Ctrl+C.
record() {
    local name=$1 program=$2 seed=$3
    shift 3
    [ -z "$only" ] || [ "$only" = "$name" ] || return 0
    local data=$here/assets
    if [ -f "$out/$name.edits" ]; then
        data=$work/data/$name
        bash "$out/data_folder.sh" "$out/$name.edits" "$data"
    fi
    rm -f "$out/$name.txt"
    tmux kill-session -t "$session" 2>/dev/null || true
    tmux new-session -d -s "$session" -x 80 -y 24 -c "$work" \
        "env LANG=C.UTF-8 TERM=xterm-256color RPG_AMBIGUOUS=narrow $build/bin/$program --data '$data' --seed $seed \
         --record '$out/$name.txt'; echo __ended__; sleep 600"
    settle
    local key count
    for word in "$@"; do
        key=${word%%\**}
        count=1
        [ "$key" != "$word" ] && count=${word##*\*}
        for _ in $(seq 1 "$count"); do
            case $key in
                finish)
                    for _ in $(seq 1 300); do
                        ended && break
                        [ -z "${RPG_SCREENS:-}" ] || screen_now >>"$RPG_SCREENS/$name.txt"
                        tmux send-keys -t "$session" Enter
                        settle
                    done
                    ended || tmux send-keys -t "$session" C-c
                    ;;
                interrupt) tmux send-keys -t "$session" C-c ;;
                wait) sleep 1.5 ;;
                *) tmux send-keys -t "$session" "$key"; settle ;;
            esac
        done
    done
    for _ in $(seq 1 250); do ended && break; sleep 0.2; done
    echo "$name: $(tail -n 1 "$out/$name.txt")"
}

# Fight: Enter on たたかう, on the target, on the skill; the rest acknowledges.
record battle_won_level_up battle 7 Enter Enter Enter finish
# Defend until the hero falls.
record battle_lost battle 7 Down Enter*60 finish
# Run: the third command down.
record battle_escaped battle 7 Down*3 Enter finish
record battle_escape_failed battle 7 Down*3 Enter Enter*4 Enter*3 finish
# In the item window Up*2 is the Potion, Up*2 Down the Protein, Down*2 the
# Buckler; Down acknowledges each message (Enter would use the item again)
# and moves no further than the Buckler. Space goes back to the command
# menu, Up to ぼうぎょ, and the hero defends until it falls.
record battle_items battle 7 Down*2 Enter Up*2 Enter Down*20 Up*2 Down Enter Down*20 Down*2 Enter Down*20 \
    Space*3 Up finish
# Two Bucklers, a third while none is left; a Protein, and another while
# three effects last.
record battle_item_refusals battle 7 Down*2 Enter Down*2 Enter Down*20 Enter Down*20 Enter Down*3 \
    Up*2 Down Enter Down*20 Enter Down*3 Space*3 Up finish
# Protein, Protein, Buckler in a row, then a Buckler while the three last.
record battle_three_effects battle 7 Down*2 Enter Up*2 Down Enter Down*20 Up*2 Down Enter Down*20 Down*2 Enter \
    Down*20 Enter Down*3 Space*3 Up finish
# Each skill the sample hero has: the first, then (Down acknowledges and then
# moves to it) the second, until the battle ends.
record battle_skills battle 5 Enter Enter Enter Down*20 Enter Down*20 finish
record missing_file battle 1 wait
record field_walk field 3 Left Left Up Up Right Down Down Left wait interrupt
record field_chase field 4 Left*14 Up*6 wait wait interrupt
