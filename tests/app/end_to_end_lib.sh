# Shared by the end-to-end scripts (sourced, not run): polling, and the
# fixture site started for the run and stopped with everything else at exit.
# Expects $server (serve_fixture_site), $log and $work, and a fail function.

# Polls a condition for up to ten seconds.
wait_for() {
    local tries=100
    until eval "$1"; do
        tries=$((tries - 1))
        [[ $tries -gt 0 ]] || return 1
        sleep 0.1
    done
}

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT

# Serves the fixture site at the site's address; its requests go to $log.
start_site() {
    "$server" "$log" 443 >"$work/server.out" 2>&1 &
    pids+=($!)
    wait_for 'grep -qs "^listening" "$work/server.out"' || fail "the fixture server did not start"
}
