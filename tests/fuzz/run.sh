#!/usr/bin/env bash
# Builds the data file and key-stream fuzzers (preset "fuzz": clang with libFuzzer, address
# and undefined-behaviour sanitizers, library assertions) and runs each for a
# bounded time, starting from its committed corpus, two at a time (one a
# core). New inputs go to a scratch folder, so the committed corpus stays as
# it is; a crashing input is kept in the build folder's artifacts/.
#
# Usage: tests/fuzz/run.sh [seconds per fuzzer, default 15] [fuzzer ...]
# With RPG_FUZZ_BUILD=DIR the fuzzers are built in DIR, a clang build
# configured with -DRPG_FUZZ=ON and -fsanitize=fuzzer-no-link (as CI's
# sanitizer build is), instead of the preset's own folder.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-15}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(hero enemy skill map battle_keys field_keys key_decoder recording)

build="${RPG_FUZZ_BUILD:-}"
if [ -z "$build" ]; then
  cmake --preset fuzz >/dev/null
  build=build/fuzz
fi
cmake --build "$build" -j 2 --target "${targets[@]/#/fuzz_}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="$build/artifacts"
mkdir -p "$artifacts"

# One fuzzer's run; its summary goes to $work/TARGET.result.
fuzz_one() {
  local target=$1 log="$work/$1.log"
  mkdir -p "$work/$target"
  if "$build"/bin/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
       "$work/$target" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    local runs corpus
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    corpus="$(ls "$work/$target" | wc -l)"
    echo "== fuzz_$target: ${seconds} s, ${runs:-?} inputs run, ${corpus} new corpus entries, no fault" >"$work/$target.result"
  else
    { tail -60 "$log"; echo "== fuzz_$target: FAULT: see the input kept in $artifacts/"; } >"$work/$target.result"
  fi
}

running=0
for target in "${targets[@]}"; do
  fuzz_one "$target" &
  running=$((running + 1))
  if [ $running -ge 2 ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=()
for target in "${targets[@]}"; do
  cat "$work/$target.result"
  grep -q "no fault$" "$work/$target.result" || failed+=("$target")
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzers with faults: ${failed[*]}"
  exit 1
fi
echo "All fuzzers ran without a fault."
