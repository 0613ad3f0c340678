#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/ and runs each for SECONDS seconds on a copy of its seed corpus
# (fuzz/corpus/<target>/, which a run never grows). A crash, hang, leak or broken check
# stops that target, keeps its input in build-fuzz/findings/<target>/ and fails the script.
#     scripts/fuzz.sh SECONDS [TARGET...]        e.g. scripts/fuzz.sh 60 pack image
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
build_dir=${LOREWICK_FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ LOREWICK_EXTRA_PACKAGES="clang libclang-rt-14-dev" \
    LOREWICK_BUILD_DIR="$build_dir" LOREWICK_BUILD_TARGET=fuzzers \
    LOREWICK_CMAKE_ARGS="-DLOREWICK_FUZZ=ON -DLOREWICK_SANITIZE=ON -DLOREWICK_BENCHMARKS=OFF" \
    scripts/setup.sh

export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

targets=("$@")
if ((${#targets[@]} == 0)); then
    for corpus in fuzz/corpus/*/; do
        targets+=("$(basename "$corpus")")
    done
fi

failed=()
for target in "${targets[@]}"; do
    run_dir="$build_dir/fuzz-runs/$target"
    findings="$build_dir/findings/$target"
    rm -rf "$run_dir"
    mkdir -p "$run_dir/corpus" "$findings"
    cp fuzz/corpus/"$target"/* "$run_dir/corpus/"
    if "$build_dir/fuzz/fuzz_$target" "$run_dir/corpus" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 \
        >"$run_dir/log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run_dir/log")
        echo "fuzz_$target: ${seconds} s, ${runs:-?} inputs, nothing found"
    else
        failed+=("$target")
        tail -n 60 "$run_dir/log"
        echo "fuzz_$target: FOUND A FAULT, input kept in $findings/ (log: $run_dir/log)"
    fi
done
((${#failed[@]} == 0)) || { echo "Faults found by: ${failed[*]}"; exit 1; }
