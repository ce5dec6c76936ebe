#!/usr/bin/env bash
# Runs the GPU path's benchmarks on a private Xvfb (Mesa's software renderer), stopped by pid afterwards.
#   scripts/bench-gl.sh [benchmark arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/release/bench/quillaby_gl_bench
[ -x "$bench" ] || { echo "build the release preset first: $bench is missing" >&2; exit 1; }

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
done
HOME=$(mktemp -d) DISPLAY=$display QT_QPA_PLATFORM=xcb "$bench" "$@"
