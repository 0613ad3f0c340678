#!/usr/bin/env bash
# Builds Lorewick in Release, makes synthetic card pools, runs every benchmark on them and
# writes docs/PERFORMANCE.md.
#
#   bench/run.sh [SIZE...]        default sizes: 30000 100000
#
# LOREWICK_BENCH_BUILD_DIR picks the build folder (default build-release);
# LOREWICK_BENCH_REPETITIONS the repetitions per figure (default 5; the table shows medians).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${LOREWICK_BENCH_BUILD_DIR:-build-release}
repetitions=${LOREWICK_BENCH_REPETITIONS:-5}
sizes=("$@")
((${#sizes[@]})) || sizes=(30000 100000)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLOREWICK_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target benchmarks

results="$build/bench-results"
rm -rf "$results"
mkdir -p "$results"
# Other work on the machine shows in the figures: the report says how busy it was.
cut -d' ' -f1-3 /proc/loadavg >"$results/loadavg-before"
for size in "${sizes[@]}"; do
    data="$build/bench-data/$size"
    "$build/bench/lorewick-gen" --cards "$size" "$data"
    QT_QPA_PLATFORM=offscreen "$build/bin/lorewick" -import -data "$data"
done
# Each program runs on every size in turn, so that a change in the machine's other work
# between the sizes shows as little as possible in the growth.
for program in "$build"/bench/bench_*; do
    [ -f "$program" ] && [ -x "$program" ] || continue
    name=$(basename "$program")
    for size in "${sizes[@]}"; do
        echo "== $name, $size cards"
        LOREWICK_BENCH_DATA="$build/bench-data/$size" QT_QPA_PLATFORM=offscreen "$program" \
            --benchmark_repetitions="$repetitions" \
            --benchmark_report_aggregates_only=true \
            --benchmark_out="$results/$name-$size.json" --benchmark_out_format=json
    done
done

cut -d' ' -f1-3 /proc/loadavg >"$results/loadavg-after"
python3 bench/report.py "$results" docs/PERFORMANCE.md "${sizes[@]}"
echo "Wrote docs/PERFORMANCE.md"
