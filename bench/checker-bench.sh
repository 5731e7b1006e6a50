#!/bin/sh
# Measures the claim checker against the envelope check of the guards on one generated
# 837P (default 50 MB), in a Release build, then the checker alone for its memory: its
# anonymous memory (rss_anon_kb) stays the same whatever the size; the peak RSS also
# counts the pages of the mapped file itself.
#   bench/checker-bench.sh [SIZE_MB...]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target zv_bench_checker >/dev/null

for size_mb in ${*:-50}; do
    echo "== $size_mb MB"
    /usr/bin/time -f "max_rss_kb=%M elapsed_s=%e" build/release/bench/zv_bench_checker "$size_mb" both
    /usr/bin/time -f "max_rss_kb=%M elapsed_s=%e" build/release/bench/zv_bench_checker "$size_mb" checker
done
