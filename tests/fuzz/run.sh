#!/usr/bin/env bash
# Fuzzes the score file (parse, rank, menu lines) for a bounded time.
# Usage: tests/fuzz/run.sh [seconds]   (default 60). Needs clang and its libFuzzer runtime
# (Debian: clang, libclang-rt-14-dev). Exits non-zero when the fuzzer finds a fault; the
# input that caused it is left in the build folder as crash-*.
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${FUZZ_BUILD:-$top/build-fuzz}

CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRIN_FUZZ=ON -DKESTRIN_TESTS=ON -DKESTRIN_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_scores

# Every run rewrites the score file with a synced, atomic replace: memory-backed
# temporary files make that many times faster.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi

# New inputs go to the first folder; the seeds in the source tree stay as they are.
mkdir -p "$build/fuzz-corpus"
"$build/tests/fuzz/fuzz_scores" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -dict="$here/scores.dict" -print_final_stats=1 -artifact_prefix="$build/" \
    "$build/fuzz-corpus" "$here/corpus"
