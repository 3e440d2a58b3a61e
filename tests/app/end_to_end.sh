#!/usr/bin/env bash
# The real program against the fixture site, as a user drives it: run inside
# the site's namespace (the host name is 127.0.0.1) and under Xvfb.
#
#   in_site_namespace.sh xvfb-run -n N end_to_end.sh PROGRAM SERVER WORK_DIR
#
# Dismisses the notice, types a chapter address into the link box, clicks
# "获取", presses Down, and checks from the server's request log that the
# chapter and then its next page were fetched. Then it asks for a page the
# server takes three seconds to send and, while it loads, clicks "下载": the
# download window must open within 250 ms. Screenshots go to WORK_DIR.
set -euo pipefail

program=$1
server=$2
work=$3
mkdir -p "$work"
log="$work/requests.log"
: >"$log"
rm -f "$work"/*.png
# Settings of the run's own, starting missing: never the user's.
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"  # the library: never the user's own
rm -rf "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

fail() {
    import -window root "$work/failed.png" 2>/dev/null || true
    echo "end_to_end: $*" >&2
    echo "--- requests:" >&2
    cat "$log" >&2
    exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/end_to_end_lib.sh"
start_site

(cd "$work" && exec "$program") >"$work/program.out" 2>&1 &
pids+=($!)
wait_for 'window=$(xdotool search --name "^Corvane" 2>/dev/null | head -n 1); [[ -n $window ]]' ||
    fail "the reader window did not appear"

# The notice is up and holds the keyboard; Return dismisses it.
sleep 0.5
import -window root "$work/1-notice.png"
xdotool key Return
sleep 0.5

# The layout timer has put the bottom row at top 206 by now.
xdotool mousemove --window "$window" 150 218 click 1
xdotool type --delay 5 "https://www.qubige.com/123/1.html"
xdotool mousemove --window "$window" 324 218 click 1
wait_for 'grep -qx "/123/1.html" "$log"' || fail "clicking 获取 fetched nothing"
sleep 0.3
import -window root "$work/2-chapter.png"

xdotool key Down
wait_for '[[ $(wc -l <"$log") -ge 2 ]]' || fail "Down fetched nothing"
sleep 0.3
import -window root "$work/3-next.png"

expected=$'/123/1.html\n/123/2.html'
[[ "$(cat "$log")" == "$expected" ]] || fail "unexpected requests"

# A slow page: the window keeps answering while it loads.
xdotool mousemove --window "$window" 150 218 click --repeat 3 1
xdotool type --delay 5 "https://www.qubige.com/123/3.html?slow"
xdotool mousemove --window "$window" 324 218 click 1
wait_for 'grep -qx "/123/3.html?slow" "$log"' || fail "the slow page was not asked for"
xdotool getwindowname "$window" | grep -q "正在获取" || fail "the title does not say a page is loading"
started=$(date +%s%N)
xdotool mousemove --window "$window" 368 218 click 1
until xdotool search --onlyvisible --name '^下载$' >/dev/null 2>&1; do
    (( ($(date +%s%N) - started) / 1000000 < 2000 )) || fail "the download window did not open"
    sleep 0.01
done
answered_ms=$(( ($(date +%s%N) - started) / 1000000 ))
import -window root "$work/4-responsive.png"
(( answered_ms <= 250 )) || fail "the click took ${answered_ms} ms to answer while a page loaded"
wait_for '! xdotool getwindowname "$window" | grep -q "正在获取"' || fail "the slow page never arrived"

kill -0 "${pids[1]}" || fail "the program ended"
echo "end_to_end: fetched the chapter, then its next page on Down; answered a click in ${answered_ms} ms while a page loaded"
