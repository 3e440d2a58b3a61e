#!/usr/bin/env bash
# Runs a command where the site's host name, www.qubige.com, is this machine:
# inside a private mount and network namespace whose only interface is
# loopback and whose /etc/hosts maps the host name to 127.0.0.1. Nothing
# the command does can reach another machine.
#
#   in_site_namespace.sh COMMAND [ARGS...]
#
# Exits 77 (a skipped test to CTest) when the namespace cannot be made;
# otherwise exits with the command's status.
set -uo pipefail

readonly SKIPPED=77
readonly SITE_HOST=www.qubige.com

skip() {
    echo "in_site_namespace: skipped: $*" >&2
    exit "$SKIPPED"
}

if [[ $# -lt 1 ]]; then
    echo "usage: in_site_namespace.sh COMMAND [ARGS...]" >&2
    exit 2
fi
[[ $EUID -eq 0 ]] || skip "making the namespaces needs root"
command -v unshare >/dev/null 2>&1 || skip "unshare is not installed"
command -v ip >/dev/null 2>&1 || skip "ip is not installed"

hosts_file=$(mktemp) || skip "cannot make a temporary hosts file"
trap 'rm -f "$hosts_file"' EXIT
printf '127.0.0.1 localhost\n::1 localhost\n127.0.0.1 %s\n' "$SITE_HOST" >"$hosts_file"

# Probing first tells "no namespace here" apart from a failing command.
if ! probe_error=$(unshare --mount --net true 2>&1); then
    skip "unshare --mount --net failed: $probe_error"
fi

# unshare makes the new mount namespace private, so the bind mount stays in it.
unshare --mount --net -- bash -c '
    hosts_file=$1
    shift
    ip link set lo up || { echo "in_site_namespace: skipped: cannot bring loopback up" >&2; exit 77; }
    mount --bind "$hosts_file" /etc/hosts ||
        { echo "in_site_namespace: skipped: cannot mount the hosts file" >&2; exit 77; }
    exec "$@"
' in_site_namespace "$hosts_file" "$@"
