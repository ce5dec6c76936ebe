#!/usr/bin/env bash
# Key-to-echo latency of Quillaby's device window against xterm and st, on one private X server in the
# same run: letters typed through XTest, each timed until the terminal window's pixels change (XDamage).
#
#   bench/key-echo.sh [--keys N] [--spacing MS] [--only NAME...] [--quillaby PATH] [--before PATH]
#
# --before adds a row "before" for another Quillaby build (the one a change started from).
#
# Two cases a terminal: "cat", a plain `cat` whose echo comes from the pty itself, and "shell", an idle
# bash at its prompt echoing through its line editor. Prints min, median and p95 in milliseconds.
# Needs a release build of Quillaby (build/release/bin/Quillaby) and a C++ compiler for the helper.
set -uo pipefail
cd "$(dirname "$0")/.."

KEYS=50
SPACING=50
ONLY=()
QUILLABY="$PWD/build/release/bin/Quillaby"
BEFORE=""
while [[ $# -gt 0 ]]; do
    case "$1" in
        --keys) KEYS="$2"; shift 2 ;;
        --spacing) SPACING="$2"; shift 2 ;;
        --quillaby) QUILLABY="$2"; shift 2 ;;
        --before) BEFORE="$2"; shift 2 ;;
        --only) shift; while [[ $# -gt 0 && "$1" != --* ]]; do ONLY+=("$1"); shift; done ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
[[ -x "$QUILLABY" ]] || { echo "build Quillaby first: cmake --build --preset release --target Quillaby" >&2; exit 1; }

need=()
for pair in xterm:xterm stterm:stterm Xvfb:xvfb xdotool:xdotool; do
    command -v "${pair%%:*}" >/dev/null || need+=("${pair##*:}")
done
for header in xcb/damage.h:libxcb-damage0-dev xcb/xtest.h:libxcb-xtest0-dev; do
    [[ -f "/usr/include/${header%%:*}" ]] || need+=("${header##*:}")
done
if [[ ${#need[@]} -gt 0 ]]; then
    sudo=""; [[ $(id -u) -ne 0 ]] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}" >&2
fi

WORK=$(mktemp -d /tmp/quillaby-keyecho-XXXXXX)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

c++ -O2 -std=c++20 bench/keyecho/keyecho.cpp -o "$WORK/keyecho" -lxcb -lxcb-damage -lxcb-xtest ||
    { echo "cannot build the helper" >&2; exit 1; }

source bench/terminals.sh
start_private_xvfb

# The program every terminal runs: $2 is the file it touches once its prompt is out.
write_script() {
    local script="$1" stamp="$2" case="$3"
    if [[ "$case" == cat ]]; then
        printf '#!/bin/sh\nprintf "cat> "\ntouch "%s"\nexec cat\n' "$stamp" > "$script"
    else
        printf '#!/bin/sh\nexec env PS1="bench$ " PROMPT_COMMAND="touch %s" bash --norc --noprofile -i\n' \
            "$stamp" > "$script"
    fi
    chmod +x "$script"
}

# Runs one terminal for one case; prints the latencies, one a line, or "fail <why>".
run_one() {
    local name="$1" case="$2"
    local stamp="$WORK/$name-$case" script="$WORK/$name-$case.sh" home="$WORK/home-$name-$case"
    write_script "$script" "$stamp.ready" "$case"
    local binary="$QUILLABY"
    [[ "$name" == before ]] && binary="$BEFORE"
    start_terminal "${name/before/quillaby}" "$binary" "$script" "$home" "$stamp.log"
    local pid=$!
    PIDS+=("$pid")
    local waited=0
    while [[ ! -e "$stamp.ready" ]]; do
        if ! kill -0 "$pid" 2>/dev/null; then echo "fail exited: $(tail -c 200 "$stamp.log" | tr '\n' ' ')"; return; fi
        sleep 0.05
        waited=$((waited + 1))
        if [[ $waited -gt 600 ]]; then kill "$pid"; echo "fail no prompt"; return; fi
    done
    # The window of that process that is mapped and largest: the device window, not a helper window.
    local window="" best=0
    for _ in $(seq 50); do
        for w in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$w")"
            if (( WIDTH * HEIGHT > best )); then best=$((WIDTH * HEIGHT)); window="$w"; fi
        done
        [[ -n "$window" ]] && break
        sleep 0.1
    done
    [[ -n "$window" ]] || { kill "$pid"; echo "fail no window"; return; }
    sleep 1 # the first frames and the prompt on screen
    "$WORK/keyecho" "$window" "$KEYS" "$SPACING"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}

stats() {
    sort -n | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "-"; exit }
        p95 = int(NR * 0.95 + 0.999); if (p95 > NR) p95 = NR
        printf "%8.2f %8.2f %8.2f", v[1], v[int((NR + 1) / 2)], v[p95] }'
}

terminals=(quillaby xterm st)
[[ -n "$BEFORE" ]] && terminals=(before "${terminals[@]}")
[[ ${#ONLY[@]} -gt 0 ]] && terminals=("${ONLY[@]}")
printf '%-10s %-6s %8s %8s %8s %6s\n' terminal case min_ms med_ms p95_ms misses
for name in "${terminals[@]}"; do
    for case in cat shell; do
        result=$(run_one "$name" "$case")
        if [[ "$result" == fail* ]]; then printf '%-10s %-6s %s\n' "$name" "$case" "$result"; continue; fi
        misses=$(grep -c '^miss' <<<"$result")
        printf '%-10s %-6s %s %6s\n' "$name" "$case" "$(grep -v '^miss' <<<"$result" | stats)" "$misses"
    done
done
