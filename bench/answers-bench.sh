#!/bin/sh
# Matches one 277CA of 100,000 claims against a ledger of 100,000 sent claims in a Release
# build (beside bench/run's), on the disk of the current folder: the time to match, how long
# the ledger was write-locked, and both as ratios to peers measured in the same run.
#   bench/answers-bench.sh [CLAIMS [FILES]]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench-release
[ -f "$build/build.ninja" ] || cmake --preset release -B "$build" -DZUDUVOR_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target zv_bench_answers >/dev/null
for run in 1 2 3; do
    echo "== run $run"
    "$build/bench/zv_bench_answers" "$root/build" "${1:-100000}" "${2:-200}"
done
