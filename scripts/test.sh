#!/usr/bin/env bash
# Builds everything and runs every test: the optimised build (with the benchmarks built, not run),
# then the same suites under AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of each
# fuzz target when clang is there (FUZZ_SECONDS, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

echo "== optimised build"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

echo "== sanitizer build"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

if command -v clang++ >/dev/null 2>&1; then
    echo "== fuzz targets, ${FUZZ_SECONDS:-60} s each"
    FUZZ_SEED=${FUZZ_SEED:-1} scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
fi

echo "All tests passed."
