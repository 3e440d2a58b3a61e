#!/usr/bin/env bash
# Runs each fuzz target of a tree built with -DNOVEL_FUZZ=ON for a while,
# starting from its seeds in fuzz/corpus/, and prints what each run did.
#   scripts/fuzz.sh DIR [SECONDS]      (SECONDS per target, 20 when omitted)
# A crash, sanitizer report, failed check or hang fails the run; the input
# that caused it is kept in DIR/fuzz-artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
seconds=${2:-20}

# Target and the longest input it is given: pages need room for several
# lines of links; patterns stay short enough that each run tries many.
targets=(
  "regex_fuzzer 512"
  "gbk_fuzzer 4096"
  "text_fuzzer 1024"
  "http_text_fuzzer 1024"
  "chapter_fuzzer 16384"
)

mkdir -p "$dir/fuzz-artifacts"
summary=()
failed=0
for entry in "${targets[@]}"; do
  read -r name max_len <<<"$entry"
  corpus="$dir/fuzz-corpus/$name"  # new inputs land here, never in the seeds
  log="$dir/fuzz-artifacts/$name.log"
  rm -rf "$corpus"
  mkdir -p "$corpus"
  echo "=== fuzzing $name for ${seconds}s"
  status=0
  "$dir/fuzz/$name" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$dir/fuzz-artifacts/$name-" \
    "$corpus" "fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  done_line=$(grep -E '^#[0-9]+.* cov: ' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$done_line")
  edges=$(sed -n 's/^INFO: Loaded 1 modules *(\([0-9]*\) inline.*/\1/p' "$log" | head -n 1)
  line=$(printf '%-18s runs %-9s coverage %5s of %-5s edges  features %-6s corpus %s' \
    "$name" "${runs:-?}" "${cov:-?}" "${edges:-?}" "${ft:-?}" "${corp:-?}")
  if [ "$status" -ne 0 ]; then
    failed=1
    line="$line  FAILED (exit $status)"
    tail -n 60 "$log"
  fi
  echo "$line"
  summary+=("$line")
done

echo "=== fuzzing figures (${seconds}s per target; coverage: edges of our code reached)"
printf '%s\n' "${summary[@]}"
exit "$failed"
