#!/usr/bin/env bash
# The soak run: both real programs on a pseudo-terminal under AddressSanitizer
# and UndefinedBehaviorSanitizer, with random keys, window resizes and stops
# and continues; each must end with status 0 or by the signal sent, with the
# terminal restored and its memory flat. Before it, the peak-memory checks on
# the release build: big data files and a map linked to /dev/zero must not
# raise either program's peak memory to 32 MB.
#
# Usage: tests/soak/soak.sh [seconds per program, default 180] [seed]
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-180}"
seed="${2:-$(date +%s)}"

echo "== Peak memory with big and endless data files (release build)"
cmake --preset default >/dev/null
cmake --build --preset default --target soak_driver
build/bin/soak_driver memory 32

echo "== Soak: ${seconds} s per program under the sanitizers, seed ${seed}"
cmake --preset asan >/dev/null
cmake --build --preset asan --target soak_driver
# A small quarantine, so that freed memory held back for checking levels off
# early and growth shows.
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
nice -n 10 build/asan/bin/soak_driver soak "$seconds" "$seed"
