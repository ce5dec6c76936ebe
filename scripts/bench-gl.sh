#!/usr/bin/env bash
# Runs the GPU path's benchmarks on a private Xvfb (Mesa's software renderer), stopped by pid afterwards.
#   scripts/bench-gl.sh [benchmark arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/release/bench/quillaby_gl_bench
[ -x "$bench" ] || { echo "build the release preset first: $bench is missing" >&2; exit 1; }

# A display of its own: Xvfb picks a free number and writes it once it accepts clients. (A number picked
# here could be one another X server already has, and the benchmark would then draw on that one.)
work=$(mktemp -d)
Xvfb -displayfd 5 -screen 0 1920x1200x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
display=":$(head -n1 "$work/display")"
HOME=$(mktemp -d) DISPLAY=$display QT_QPA_PLATFORM=xcb "$bench" "$@"
