#!/usr/bin/env bash
# Builds the data file and key-stream fuzzers (preset "fuzz": clang with libFuzzer, address
# and undefined-behaviour sanitizers, library assertions) and runs each for a
# bounded time, starting from its committed corpus. New inputs go to a
# scratch folder, so the committed corpus stays as it is; a crashing input
# is kept in build/fuzz/artifacts/.
#
# Usage: tests/fuzz/run.sh [seconds per fuzzer, default 15] [fuzzer ...]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-15}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(hero enemy skill map battle_keys field_keys key_decoder recording)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="build/fuzz/artifacts"
mkdir -p "$artifacts"

failed=()
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  log="$work/$target.log"
  echo "== fuzz_$target: ${seconds} s"
  if build/fuzz/bin/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$work/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    corpus="$(ls "$work/$target" | wc -l)"
    echo "   ${runs:-?} inputs run, ${corpus} new corpus entries, no fault"
  else
    failed+=("$target")
    tail -60 "$log"
    echo "   FAULT: see the input kept in $artifacts/"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzers with faults: ${failed[*]}"
  exit 1
fi
echo "All fuzzers ran without a fault."
