#!/usr/bin/env bash
# Builds and runs every benchmark; they print figures and judge nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
for benchmark in build/bench/*/bench_*; do
  [ -f "$benchmark" ] && [ -x "$benchmark" ] || continue
  echo "=== ${benchmark##*/}"
  "$benchmark"
done
