#!/usr/bin/env bash
# Builds the fuzz targets (the fuzz preset: clang with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds (default 60), side by side.
# Each starts from the seed corpus and the saved findings and keeps what it learns in
# build/fuzz/corpus/<target>; an input that fails lands in build/fuzz/findings/<target>/ and fails the run.
#
#   scripts/fuzz.sh [seconds] [target...]      targets: parser terminal text (default all three)
#
# FUZZ_SEED fixes libFuzzer's seed (default 0: a new one each run); the test command fixes it so its
# short run repeats the same search.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(parser terminal text)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

pids=()
for t in "${targets[@]}"; do
    mkdir -p "build/fuzz/corpus/$t" "build/fuzz/findings/$t"
    corpora=("build/fuzz/corpus/$t" tools/fuzz/corpus/seeds)
    [ -d "tools/fuzz/corpus/findings/$t" ] && corpora+=("tools/fuzz/corpus/findings/$t")
    build/fuzz/tools/fuzz/"fuzz_$t" -max_total_time="$seconds" -seed="${FUZZ_SEED:-0}" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/findings/$t/" "${corpora[@]}" \
        >"build/fuzz/$t.log" 2>&1 &
    pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
    t=${targets[$i]}
    if wait "${pids[$i]}"; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "build/fuzz/$t.log" | grep -o '[0-9]*$' || echo "?")
        echo "fuzz_$t: $runs runs in ${seconds} s, nothing found"
    else
        failed=1
        echo "fuzz_$t: FOUND A FAILURE (build/fuzz/$t.log, input in build/fuzz/findings/$t/):"
        grep -m1 -A25 'invariant broken\|ERROR: \|runtime error\|Assertion\|fatal' "build/fuzz/$t.log" || tail -30 "build/fuzz/$t.log"
    fi
done
exit $failed
