#!/usr/bin/env bash
# Builds and runs every benchmark; they print figures and judge nothing.
# bench_fetch_ahead needs the site at its own address, so it runs inside the
# site namespace (which needs root; elsewhere it says so and is left out).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
for benchmark in build/bench/*/bench_*; do
  [ -f "$benchmark" ] && [ -x "$benchmark" ] || continue
  echo "=== ${benchmark##*/}"
  if [ "${benchmark##*/}" = bench_fetch_ahead ]; then
    bash tests/support/in_site_namespace.sh "$benchmark" || echo "(left out: no site namespace here)"
  else
    "$benchmark"
  fi
done
