#!/usr/bin/env bash
# Installs every Debian package the project builds, runs and tests with.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  cmake g++ pkg-config ninja-build
  qt6-base-dev libcurl4-openssl-dev libpcre2-dev libcpp-httplib-dev libssl-dev
  libx11-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick fonts-noto-cjk
  libcli11-dev libsqlite3-dev sqlite3 libzip-dev libopencc-dev opencc epubcheck
  qt6-translations-l10n openbox tmux
  openssl curl iproute2 util-linux procps
  dpkg-dev lintian desktop-file-utils appstream librsvg2-bin
  clang libclang-rt-dev clang-format git
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo_if_needed=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_if_needed=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_if_needed[@]}" apt-get update
"${sudo_if_needed[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
