#!/usr/bin/env bash
# The place in the book outlives the program, as a user meets it: the real
# program against the fixture site, inside the site's namespace and under
# Xvfb.
#
#   in_site_namespace.sh xvfb-run -n N resume_end_to_end.sh PROGRAM SERVER CLOSE_WINDOW WORK_DIR
#
# Reads chapter 1 with "获取", moves the window and closes it as its close
# button would, starts the program again, dismisses the notice and presses
# Down: chapter 2 must be fetched, and the window must open where it was
# left. Settings go to WORK_DIR/config, never beside the program.
# Screenshots go to WORK_DIR.
set -euo pipefail

program=$1
server=$2
close_window=$3
work=$4
mkdir -p "$work"
log="$work/requests.log"
: >"$log"
rm -f "$work"/*.png
: >"$work/program.out"
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"  # the library: never the user's own
rm -rf "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
settings="$XDG_CONFIG_HOME/novel_reader/settings.ini"
beside_program=$(ls -A "$(dirname "$program")")

fail() {
    import -window root "$work/failed.png" 2>/dev/null || true
    echo "resume_end_to_end: $*" >&2
    echo "--- requests:" >&2
    cat "$log" >&2
    [[ -f $settings ]] && { echo "--- settings:" >&2; cat "$settings" >&2; }
    exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/end_to_end_lib.sh"
start_site

# Starts the program, dismisses its notice and sets $window and $program_pid.
start_program() {
    (cd "$work" && exec "$program") >>"$work/program.out" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    wait_for 'window=$(xdotool search --name "^Corvane" 2>/dev/null | head -n 1); [[ -n $window ]]' ||
        fail "the reader window did not appear"
    # The notice is up and holds the keyboard; Return dismisses it.
    sleep 0.5
    xdotool key Return
    sleep 0.5
}

start_program
xdotool mousemove --window "$window" 150 218 click 1
xdotool type --delay 5 "https://www.qubige.com/123/1.html"
xdotool mousemove --window "$window" 324 218 click 1
wait_for 'grep -qx "/123/1.html" "$log"' || fail "clicking 获取 fetched nothing"
wait_for '! xdotool getwindowname "$window" | grep -q "正在获取"' || fail "chapter 1 never arrived"
xdotool windowmove --sync "$window" 200 150
sleep 0.3
import -window root "$work/1-chapter-1.png"

"$close_window" "$window" || fail "could not ask the window to close"
wait_for '! kill -0 "$program_pid" 2>/dev/null' || fail "the program did not end when closed"
wait "$program_pid" || fail "the program ended with status $?"
[[ -f $settings ]] || fail "nothing was saved under the config folder"
[[ "$(ls -A "$(dirname "$program")")" == "$beside_program" ]] ||
    fail "something was written beside the program"

start_program
sleep 0.3
import -window root "$work/2-restarted.png"
# Read whole: grep -q leaving early would fail the pipe.
geometry=$(xdotool getwindowgeometry "$window")
[[ $geometry == *"Position: 200,150"* ]] || fail "the window did not open where it was closed: $geometry"

xdotool key Down
wait_for '[[ $(wc -l <"$log") -ge 2 ]]' || fail "Down fetched nothing after the restart"
wait_for '! xdotool getwindowname "$window" | grep -q "正在获取"' || fail "chapter 2 never arrived"
sleep 0.3
import -window root "$work/3-chapter-2.png"

expected=$'/123/1.html\n/123/2.html'
[[ "$(cat "$log")" == "$expected" ]] || fail "unexpected requests"
kill -0 "$program_pid" || fail "the program ended"
echo "resume_end_to_end: read chapter 1, closed, started again, and Down read chapter 2"
