#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test: the normal build, the
# core alone without the windows, and the whole suite under the sanitizers;
# then fuzzes each fuzz target for a short while, built with clang under the
# sanitizers, and prints the fuzzing figures. The formatting is checked first.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Whatever a test forgets to point elsewhere lands here, never in the
# settings or the library of the user running the tests.
scratch_home=$(mktemp -d)
trap 'rm -rf "$scratch_home"' EXIT
export XDG_CONFIG_HOME="$scratch_home/config" XDG_DATA_HOME="$scratch_home/data"

echo "=== format"
# The tree stays as clang-format writes it; a difference fails here, before any build.
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

run_suite() {
  local dir=$1
  shift
  echo "=== ${dir}"
  bash scripts/build.sh "$dir" "$@"
  ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" --timeout 300
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_suite build-core -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOVEL_BUILD_GUI=OFF \
  -DNOVEL_BUILD_BENCHMARKS=OFF
run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DNOVEL_SANITIZE=ON \
  -DNOVEL_BUILD_BENCHMARKS=OFF

echo "=== build-fuzz"
bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DNOVEL_FUZZ=ON -DNOVEL_SANITIZE=ON -DNOVEL_BUILD_GUI=OFF -DNOVEL_BUILD_BENCHMARKS=OFF \
  -DNOVEL_BUILD_TESTS=OFF
bash scripts/fuzz.sh build-fuzz 20
