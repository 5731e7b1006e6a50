#!/bin/sh
# Builds the libFuzzer targets and runs each for SECONDS, one after the other.
#   fuzz/run-fuzzers.sh SECONDS [TARGET...]
# Each target starts from its kept corpus in fuzz/corpus/TARGET/. New inputs gather in
# the build folder; at the end only those that reach new code are merged into the kept
# corpus. A finding (its input saved under build/fuzz/artifacts/TARGET/) does not stop
# the other targets; the script then ends with status 1.
set -eu

if [ $# -lt 1 ]; then
    echo "usage: $0 SECONDS [fuzz_setup_reader|fuzz_sequence_parse|fuzz_mask|fuzz_splitter|fuzz_x12_reader|fuzz_sftp_reply|fuzz_claim_check|fuzz_answers ...]" >&2
    exit 2
fi
seconds=$1
shift
targets=${*:-fuzz_setup_reader fuzz_sequence_parse fuzz_mask fuzz_splitter fuzz_x12_reader fuzz_sftp_reply fuzz_claim_check fuzz_answers}

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
cd "$root"
# libFuzzer comes with clang; only this script needs it.
bash scripts/apt-install clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
# Only the fuzz targets: the rest of the program is not needed here.
cmake --build "$build" -j2 --target $targets

failed=""
for target in $targets; do
    kept=$root/fuzz/corpus/$target
    fresh=$build/corpus-new/$target
    artifacts=$build/artifacts/$target/
    mkdir -p "$kept" "$fresh" "$artifacts"
    echo "== $target: ${seconds}s"
    # The first folder receives new inputs; the kept corpus is only read.
    # A generous per-input limit: on a busy shared machine a run at low priority can be
    # starved for seconds without the code being slow.
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=60 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$fresh" "$kept" ||
        failed="$failed $target"
    # Keep the new inputs that add coverage, nothing else.
    "$build/fuzz/$target" -merge=1 "$kept" "$fresh" 2>&1 | grep -E "MERGE-OUTER: [0-9]+ new files" || true
done

if [ -n "$failed" ]; then
    echo "findings in:$failed (inputs under $build/artifacts/)" >&2
    exit 1
fi
