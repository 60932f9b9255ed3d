#!/usr/bin/env bash
# End-to-end scenarios of the Windows programs under wine: each runs the real
# battle.exe or field.exe in an 80 x 25 tmux pane, types keys as a player
# would and reads the pane back. Zero width spaces, which the programs write
# after full-width characters for wine's console, are stripped when reading.
#
#   tests/wine/scenarios.sh BIN_DIR
#
# Needs tmux and wine; wine's background processes should already run
# (wineserver -p, wineboot -i), so that none of them holds this script's
# output open. Exits 1 when a scenario fails, printing the pane it saw.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
assets=$(cd "$here/../../assets" && pwd)
bin=$(cd "${1:?usage: scenarios.sh BIN_DIR}" && pwd)
work=$(mktemp -d)
socket="rpg-wine-$$"
failures=0

tmux_() { tmux -L "$socket" "$@"; }
cleanup() {
    tmux_ kill-server 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# ---------------------------------------------------------------------------
# Panes.

# start NAME FOLDER PROGRAM: runs the program in its own pane; its exit status
# goes to $work/NAME.status.
# A fourth and fifth argument give the pane's size (80 x 25 otherwise); any
# after them go to the program.
start() {
    local options="" option
    for option in "${@:6}"; do options+=" '$option'"; done
    tmux_ new-session -d -s "$1" -x "${4:-80}" -y "${5:-25}" -c "$2" \
        "'$here/run.sh' '$bin/$3'$options; echo \$? > '$work/$1.status'; sleep 3600"
}

pane_text() { tmux_ capture-pane -p -t "$1" | sed 's/\xe2\x80\x8b//g'; }
row() { pane_text "$1" | sed -n "$(($2 + 1))p"; }
keys() { tmux_ send-keys -t "$1" "${@:2}"; }

# The columns a text takes on the terminal.
width() { printf '%s' "$1" | wc -L; }

# shows NAME COLUMN ROW TEXT: the text stands at that cell.
shows() {
    local line rest offset=0 before
    line=$(row "$1" "$3")
    rest=$line
    while [[ $rest == *"$4"* ]]; do
        before=${rest%%"$4"*}
        offset=$((offset + $(width "$before")))
        [[ $offset -eq $2 ]] && return 0
        offset=$((offset + $(width "$4")))
        rest=${rest#*"$4"}
    done
    return 1
}

# The text of a row drawn in the bright look, blanks left out.
bright() {
    local line out="" mode=normal esc=$'\e'
    line=$(tmux_ capture-pane -e -p -t "$1" | sed -n "$(($2 + 1))p" | sed 's/\xe2\x80\x8b//g')
    while [[ $line =~ ^([^$esc]*)$esc\[([0-9\;]*)m(.*)$ ]]; do
        [[ $mode == bright ]] && out+=${BASH_REMATCH[1]}
        case ";${BASH_REMATCH[2]};" in
            *";97;"* | *";1;"*) mode=bright ;;
            *) mode=normal ;;
        esac
        line=${BASH_REMATCH[3]}
    done
    [[ $mode == bright ]] && out+=$line
    printf '%s' "${out// /}"
}

# wait_for NAME SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local name=$1 deadline=$((SECONDS + $2))
    shift 2
    until "$@"; do
        if ((SECONDS >= deadline)); then
            fail "$name: gave up waiting for: $*"
            return 1
        fi
        sleep 0.1
    done
}

# cursor_at NAME COLUMN ROW: the pane's cursor stands there.
cursor_at() { [[ $(tmux_ display -p -t "$1" '#{cursor_x} #{cursor_y}') == "$2 $3" ]]; }
has_text() { pane_text "$1" | grep -qF -- "$2"; }
matches() { diff -q "$2" <(pane_text "$1") >/dev/null; }
# The battle screen is drawn to its last piece, the effect markers.
battle_ready() { shows "$1" 4 18 "+"; }
exited() { [[ -s $work/$1.status ]]; }
status_of() { cat "$work/$1.status"; }

fail() {
    echo "FAIL: $1"
    local name=${1%%:*}
    if tmux_ has-session -t "$name" 2>/dev/null; then
        echo "---- pane $name ----"
        pane_text "$name"
        echo "---- its bright text, by row ----"
        for r in $(seq 0 24); do
            local b
            b=$(bright "$name" "$r")
            [[ -n $b ]] && echo "$r: $b"
        done
        echo "--------------------"
    fi
    failures=$((failures + 1))
}

check() {
    local what=$1
    shift
    "$@" || fail "$what"
}

# A copy of the sample data, with the ASCII numbers of some lines replaced.
data_folder() {
    local folder="$work/$1"
    mkdir -p "$folder"
    cp "$assets"/*.txt "$folder"/
    printf '%s' "$folder"
}

# ---------------------------------------------------------------------------
# Scenarios.

# Started first, as they take half a minute; the notice's place is read while
# the program still shows it (once it has ended, wine's console scrolls the
# kept screen up). The second runs in a window too small for the game, which
# must not hold the notice's timed end up.
missing_start() {
    local session
    for session in missing missing_small; do
        tmux_ kill-session -t "$session" 2>/dev/null
        rm -f "$work/$session.status"
    done
    mkdir -p "$work/empty"
    start missing "$work/empty" battle.exe
    start missing_small "$work/empty" battle.exe 60 20
    wait_for missing 20 has_text missing "ファイルが存在しないため情報の初期化に失敗しました。" || return
    check "missing: notice line 4" shows missing 0 3 " 30 秒後に強制終了しますので手動で閉じないでください。"
}

missing_check() {
    wait_for missing 60 exited missing || return
    check "missing: exit status $(status_of missing), not 255" test "$(status_of missing)" = 255
    # The notice stays readable after the program has ended.
    check "missing: notice kept" has_text missing "ファイルが実行ファイルと同じディレクトリ内にあるか確認してください。"
    wait_for missing_small 30 exited missing_small || return
    check "missing_small: exit status $(status_of missing_small), not 255" test "$(status_of missing_small)" = 255
}

too_small() {
    start small "$assets" battle.exe 60 20
    wait_for small 30 has_text small "Please make the terminal at least 80 x 19 (now 60 x 20)." || return
    keys small C-c
    wait_for small 10 exited small || return
    tmux_ kill-session -t small
}

battle_start_screen() {
    start start "$assets" battle.exe
    # Every cell of the start-up screen, as the layout gives it.
    if ! wait_for start 30 matches start "$here/screens/battle_start.txt"; then
        diff -u "$here/screens/battle_start.txt" <(pane_text start)
        return
    fi
    check "start: pawn 1" shows start 34 2 "兵"
    check "start: pawn 2" shows start 38 2 "兵"
    check "start: pawn 3" shows start 36 4 "兵"
    check "start: message frame" shows start 25 18 "|＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿＿|"
    check "start: first command highlighted" test "$(bright start 0)" = "＿＿＿＿＿＿"

    # The arrows move the highlight down and back up; it does not wrap.
    keys start Down
    wait_for start 10 test_bright start 3 "＿＿＿＿＿＿" || return
    check "start: first command back to normal" test -z "$(bright start 0)"
    keys start Up
    wait_for start 10 test_bright start 0 "＿＿＿＿＿＿" || return
    keys start Up
    keys start Down
    wait_for start 10 test_bright start 3 "＿＿＿＿＿＿" || return
    check "start: still normal on the first" test -z "$(bright start 0)"
    tmux_ kill-session -t start
}

test_bright() { [[ $(bright "$1" "$2") == "$3" ]]; }

# The seed makes the hero's first blow land.
fight_turn() {
    start fight "$assets" battle.exe 80 25 --seed 1
    wait_for fight 30 battle_ready fight || return
    keys fight Enter  # たたかう
    wait_for fight 15 has_text fight "ポーン" || return
    # The first pawn is highlighted beside the chosen command's frame.
    wait_for fight 10 test_bright fight 2 "￣￣￣￣￣￣兵" || return
    keys fight Enter  # the first target
    wait_for fight 15 has_text fight "Ability" || return
    keys fight Enter  # the first skill
    wait_for fight 20 has_text fight "のダメージ!!" || return
    check "fight: hero's message" shows fight 27 13 "相手に"
    keys fight Enter  # acknowledged: the pawns strike back
    wait_for fight 20 has_text fight "ポーンの攻撃!!" || return
    tmux_ kill-session -t fight
}

escape_to_the_end() {
    local folder
    folder=$(data_folder escape)
    # A fast hero against slow pawns runs away at the first try.
    sed -i 's/^60 12 8 6 6 10/60 100 8 6 6 10/' "$folder/Hero_Status_Info.txt"
    sed -i 's/^18 20 6 3 4 9/1 20 6 3 4 0/' "$folder/Pawn_Status_Info.txt"
    start escape "$folder" battle.exe
    wait_for escape 30 battle_ready escape || return
    keys escape Down Down Down
    wait_for escape 10 test_bright escape 9 "＿＿＿＿＿＿" || return
    keys escape Enter  # にげる
    wait_for escape 20 has_text escape "このまま終了するには何かを入力してください..." || return
    check "escape: outcome line" shows escape 27 14 "にげることに成功しました。"
    keys escape x
    wait_for escape 20 exited escape || return
    check "escape: exit status $(status_of escape), not 0" test "$(status_of escape)" = 0
    tmux_ kill-session -t escape
}

# With --screen-reader the console's cursor is shown and rests on the
# highlighted command's label.
reader_cursor() {
    start reader "$assets" battle.exe 80 25 --screen-reader
    wait_for reader 30 battle_ready reader || return
    wait_for reader 10 cursor_at reader 10 1 || return  # on たたかう
    check "reader: cursor hidden" test "$(tmux_ display -p -t reader '#{cursor_flag}')" = 1
    keys reader Down
    wait_for reader 10 cursor_at reader 8 4 || return  # on ぼうぎょ
    tmux_ kill-session -t reader
}

field_walk() {
    start field "$assets" field.exe
    if ! wait_for field 30 matches field "$here/screens/field_start.txt"; then
        diff -u "$here/screens/field_start.txt" <(pane_text field)
        return
    fi
    keys field Up
    wait_for field 10 shows field 46 15 "●" || return
    check "field: old place left blank" shows field 42 16 "■       ■"
    # Ctrl+C ends the program through the control handler.
    keys field C-c
    wait_for field 10 exited field || return
    tmux_ kill-session -t field
}

not_a_console() {
    local status
    (cd "$assets" && "$here/run.sh" "$bin/battle.exe" >"$work/redirected.out" 2>"$work/redirected.err" </dev/null)
    status=$?
    check "redirected: exit status $status, not 1" test "$status" = 1
    check "redirected: no refusal on standard error" grep -q "standard input and output must be a console" \
        "$work/redirected.err"
    check "redirected: game output in the file" test ! -s "$work/redirected.out"
}

# RPG_WINE_SCENARIOS names some of them to run alone.
for scenario in ${RPG_WINE_SCENARIOS:-missing_start not_a_console battle_start_screen fight_turn escape_to_the_end \
    reader_cursor field_walk too_small missing_check}; do
    before=$failures
    "$scenario"
    if ((failures > before)); then
        # Wine now and then loses a key that tmux sent (seen under load): a
        # scenario that fails is played once more from the start, and fails
        # for good only if it fails again.
        echo "wine scenarios: $scenario failed; playing it once more"
        # Its panes go; the notice started first and checked last stays.
        for session in $(tmux_ list-sessions -F '#{session_name}' 2>/dev/null); do
            [[ $session == missing* ]] && continue
            tmux_ kill-session -t "$session"
            rm -f "$work/$session.status"
        done
        failures=$before
        "$scenario"
    fi
done

if ((failures > 0)); then
    echo "wine scenarios: $failures failed"
    exit 1
fi
echo "wine scenarios: all passed"
