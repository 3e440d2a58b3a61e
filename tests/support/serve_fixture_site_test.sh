#!/usr/bin/env bash
# Runs inside in_site_namespace.sh: starts serve_fixture_site as a process of
# its own on port 443, fetches two pages and a missing one at the site's real
# address, and checks the bytes that came back and the paths in its log.
#   serve_fixture_site_test.sh PATH_TO_serve_fixture_site
set -euo pipefail

server=$1
work=$(mktemp -d)
server_pid=
cleanup() {
    if [[ -n $server_pid ]]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

"$server" "$work/requests.log" >"$work/out" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
    grep -q '^listening 443$' "$work/out" && break
    sleep 0.05
done
grep -q '^listening 443$' "$work/out" || { cat "$work/out"; echo "server did not start"; exit 1; }

fetch() { curl --silent --insecure --max-time 10 --output "$2" --write-out '%{http_code}' "https://www.qubige.com$1"; }

[[ $(fetch /123/1.html "$work/1.html") == 200 ]] || { echo "/123/1.html not served"; exit 1; }
# The page is GBK: the content marker and the 24th link's target are there as bytes.
grep -q '<div id="content">' "$work/1.html" || { echo "no content block"; exit 1; }
grep -q 'href="/123/2.html"' "$work/1.html" || { echo "no link to the next chapter"; exit 1; }
[[ $(fetch "/123/2.html?x=1" "$work/2.html") == 200 ]] || { echo "/123/2.html not served"; exit 1; }
[[ $(fetch /123/missing.html "$work/missing") == 404 ]] || { echo "missing page not 404"; exit 1; }

expected=$'/123/1.html\n/123/2.html?x=1\n/123/missing.html'
logged=$(cat "$work/requests.log")
if [[ $logged != "$expected" ]]; then
    printf 'log holds:\n%s\nexpected:\n%s\n' "$logged" "$expected"
    exit 1
fi
kill "$server_pid"
wait "$server_pid" || { echo "server did not stop cleanly on SIGTERM"; exit 1; }
server_pid=
echo "serve_fixture_site answered, logged and stopped as expected"
