#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into a temporary
# root (nothing is installed into this machine's system), and checks it the
# way a desktop would meet it: files where the desktop looks, the three
# validators, and the unpacked program starting.
#
#   package_test.sh CPACK BUILD_DIR PROJECT_VERSION WORK_DIR [SITE_SERVER]
#
# With SITE_SERVER (serve_fixture_site), the unpacked command-line tool
# downloads from it; that needs the site namespace.
set -euo pipefail

cpack=$1
build=$2
project_version=$3
work=$4
site_server=${5:-}

failures=0
fail() {
    echo "package_test: $*" >&2
    failures=$((failures + 1))
}
# Times each stage, so a slow one shows in the test's log.
stage() {
    echo "--- ${SECONDS}s: $*"
}

rm -rf "$work"
mkdir -p "$work/out" "$work/home"
root="$work/root"

stage "cpack -G DEB"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; echo "package_test: cpack failed" >&2; exit 1; }
shopt -s nullglob
debs=("$work/out"/*.deb)
[[ ${#debs[@]} -eq 1 ]] || { echo "package_test: expected one .deb, got ${#debs[@]}" >&2; exit 1; }
deb=${debs[0]}
dpkg-deb --info "$deb"
dpkg-deb -x "$deb" "$root"

stage "control fields"
package=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
[[ $version == "$project_version" ]] || fail "version $version is not the project's $project_version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libcurl libpcre2-16; do
    [[ $depends == *"$library"* ]] || fail "Depends does not name $library: $depends"
done
for field in Maintainer Section Description; do
    [[ -n $(dpkg-deb -f "$deb" "$field") ]] || fail "the $field field is empty"
done

stage "file places"
outside=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v -e '^\./$' -e '^\./usr/' || true)
[[ -z $outside ]] || fail "files outside /usr: $outside"

programs=("$root"/usr/bin/*)
[[ ${#programs[@]} -gt 0 ]] || fail "nothing in usr/bin"
for program in "${programs[@]}"; do
    name=$(basename "$program")
    [[ -x $program ]] || fail "usr/bin/$name is not executable"
    [[ -f $root/usr/share/man/man1/$name.1.gz ]] || fail "no manual page usr/share/man/man1/$name.1.gz"
done
[[ -x $root/usr/bin/novel_reader ]] || fail "usr/bin/novel_reader is missing"

doc="$root/usr/share/doc/$package"
[[ -f $doc/copyright ]] || fail "no $doc/copyright"
[[ -f $doc/changelog.gz ]] || fail "no $doc/changelog.gz"
changelog_version=$(zcat "$doc/changelog.gz" | sed -n '1s/^[^ ]* (\([^)]*\)).*/\1/p')
[[ $changelog_version == "$version" ]] ||
    fail "the changelog's newest entry is $changelog_version, not $version"

desktops=("$root"/usr/share/applications/*.desktop)
[[ ${#desktops[@]} -eq 1 ]] || fail "expected one desktop entry, got ${#desktops[@]}"
desktop=${desktops[0]}
app_id=$(basename "$desktop" .desktop)
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x $root/usr/bin/$exec_program ]] || fail "the desktop entry starts $exec_program, not in usr/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
hicolor="$root/usr/share/icons/hicolor"
[[ -f $hicolor/scalable/apps/$icon.svg ]] || fail "no scalable icon $icon.svg"
for size in 16 24 32 48 64 128 256; do
    png="$hicolor/${size}x${size}/apps/$icon.png"
    if [[ ! -f $png ]]; then
        fail "no ${size}x${size} icon"
        continue
    fi
    # A PNG's width and height are big-endian words at bytes 16 and 20.
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
    [[ "$width $height" == "$size $size" ]] ||
        fail "${size}x${size}/apps/$icon.png is ${width}x${height}"
done

metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
if [[ -f $metainfo ]]; then
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $app_id.desktop"
    newest_release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
    [[ $newest_release == "$version" ]] ||
        fail "the metainfo's newest release is $newest_release, not $version"
else
    fail "no metainfo usr/share/metainfo/$app_id.metainfo.xml"
fi

stage "desktop-file-validate"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
stage "appstreamcli validate"
appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects the metainfo"
stage "lintian"
lintian --fail-on error,warning --display-info --tag-display-limit 0 "$deb" ||
    fail "lintian reports errors or warnings"

stage "the unpacked program starts"
# Its own home and run-time folders, so nothing is written into the user's.
program_log="$work/novel_reader.log"
(
    cd "$work/home"
    HOME="$work/home" XDG_RUNTIME_DIR="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
        QT_QPA_PLATFORM=offscreen exec "$root/usr/bin/novel_reader"
) >"$program_log" 2>&1 &
program_pid=$!
sleep 2
if kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid"
    wait "$program_pid" 2>/dev/null || true
else
    wait "$program_pid" && status=0 || status=$?
    fail "the unpacked novel_reader ended within two seconds (status $status):"
    cat "$program_log" >&2
fi

stage "the unpacked command-line tool downloads from the fixture site"
# Inside the site namespace (tests/packaging/CMakeLists.txt runs this script
# there when it can), the site's host name is this machine.
if [[ -n $site_server ]]; then
    "$site_server" "$work/site.log" 443 >"$work/site.out" 2>&1 &
    site_pid=$!
    for _ in $(seq 100); do grep -qs '^listening' "$work/site.out" && break; sleep 0.1; done
    (cd "$work/home" && "$root/usr/bin/novel" download --quiet --ahead 1 123 1 2) ||
        fail "the unpacked novel download failed"
    pages=$(grep -c . "$work/site.log" || true)
    [[ $pages -eq 2 ]] || fail "novel asked for $pages pages instead of chapters 1 and 2"
    [[ -s "$work/home/文本.txt" ]] || fail "novel wrote no 文本.txt"
    kill "$site_pid"
    wait "$site_pid" 2>/dev/null || true
else
    "$root/usr/bin/novel" --version | grep -q "^novel $project_version" ||
        fail "the unpacked novel does not run"
fi

stage "done"
[[ $failures -eq 0 ]] || { echo "package_test: $failures failure(s)" >&2; exit 1; }
