#!/usr/bin/env bash
# Launch time and `cat` throughput of Quillaby's device window against xterm, st and alacritty, on one
# private X server in the same run.
#
#   bench/launch-and-cat.sh [--size MIB] [--runs N] [--only NAME...]
#
# Every terminal runs the same small shell script instead of an interactive shell: it stamps the time
# it starts, prints a prompt that begins with a magenta block, cats the file, and stamps the time again.
# "shell" is the time from starting the terminal to the script's start; "prompt" the time until the
# prompt is on screen (bench/promptwatch polls the screen for the magenta block, a few milliseconds
# apart); cat is the time the file took to pass through the terminal (cat ends when the terminal has
# read all but the last pty buffer). Each round also times the pseudo-terminal alone ("pty floor":
# bench/ptyfloor reads the same cat and does nothing with it), the bound no terminal can beat at that
# moment on that machine. Missing peers are installed with
# apt-get; a peer that cannot start (alacritty needs OpenGL: Mesa llvmpipe here) is reported as such.
# Needs a release build of Quillaby (build/release/bin/Quillaby).
set -uo pipefail
cd "$(dirname "$0")/.."

SIZE_MIB=64
RUNS=3
ONLY=()
while [[ $# -gt 0 ]]; do
    case "$1" in
        --size) SIZE_MIB="$2"; shift 2 ;;
        --runs) RUNS="$2"; shift 2 ;;
        --only) shift; while [[ $# -gt 0 && "$1" != --* ]]; do ONLY+=("$1"); shift; done ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

QUILLABY="$PWD/build/release/bin/Quillaby"
[[ -x "$QUILLABY" ]] || { echo "build Quillaby first: cmake --build --preset release --target Quillaby" >&2; exit 1; }

need=()
for pair in xterm:xterm stterm:stterm alacritty:alacritty Xvfb:xvfb xdotool:xdotool; do
    command -v "${pair%%:*}" >/dev/null || need+=("${pair##*:}")
done
if [[ ${#need[@]} -gt 0 ]]; then
    sudo=""; [[ $(id -u) -ne 0 ]] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${need[@]}" libgl1-mesa-dri >&2
fi

WORK=$(mktemp -d /tmp/quillaby-bench-XXXXXX)
[[ -f /usr/include/xcb/xcb.h ]] || {
    sudo=""; [[ $(id -u) -ne 0 ]] && sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends libxcb1-dev >&2
}
c++ -O2 -std=c++20 bench/promptwatch/promptwatch.cpp -o "$WORK/promptwatch" -lxcb ||
    { echo "cannot build bench/promptwatch" >&2; exit 1; }
c++ -O2 -std=c++20 bench/ptyfloor/ptyfloor.cpp -o "$WORK/ptyfloor" ||
    { echo "cannot build bench/ptyfloor" >&2; exit 1; }
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

echo "making a ${SIZE_MIB} MiB text file ..." >&2
# Printable text in lines of 76 characters, as a log or a listing would be.
head -c $((SIZE_MIB * 1024 * 1024 * 3 / 4)) /dev/urandom | base64 -w 76 > "$WORK/big.txt"

source bench/terminals.sh
start_private_xvfb
export LIBGL_ALWAYS_SOFTWARE=1

now_ns() { date +%s%N; }

# The script every terminal runs: $1 is the file of time stamps. The prompt stays alone on screen until
# promptwatch has seen it (at most ten seconds), so a flood never hides it.
write_script() {
    cat > "$1" <<EOF
#!/bin/sh
date +%s%N > "$2.prompt"
printf '\033[48;2;255;0;255m            \033[0m bench\$ '
for _ in \$(seq 200); do [ -e "$2.seen" ] && break; sleep 0.05; done
date +%s%N > "$2.cat"
cat "$WORK/big.txt"
date +%s%N > "$2.done"
exec sleep 600
EOF
    chmod +x "$1"
}

# Runs one terminal once; prints "shell_ms prompt_ms cat_ms" or "fail <why>".
run_one() {
    local name="$1" run="$2"
    local stamp="$WORK/$name-$run" script="$WORK/$name-$run.sh"
    write_script "$script" "$stamp"
    local home="$WORK/home-$name-$run"
    local start pid watch
    "$WORK/promptwatch" 20000 >"$stamp.painted" &
    watch=$!
    start=$(now_ns)
    start_terminal "$name" "$QUILLABY" "$script" "$home" "$stamp.log"
    pid=$!
    PIDS+=("$pid")
    wait "$watch"
    touch "$stamp.seen"
    local waited=0
    while [[ ! -s "$stamp.done" ]]; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "fail exited: $(tail -c 300 "$stamp.log" | tr '\n' ' ')"
            return
        fi
        sleep 0.05
        waited=$((waited + 1))
        if [[ $waited -gt 6000 ]]; then kill "$pid"; echo "fail timed out"; return; fi
    done
    local prompt painted catstart done painted_ms
    prompt=$(cat "$stamp.prompt")
    painted=$(cat "$stamp.painted")
    catstart=$(cat "$stamp.cat")
    done=$(cat "$stamp.done")
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if [[ "$painted" == timeout ]]; then painted_ms=-; else painted_ms=$(( (painted - start) / 1000000 )); fi
    echo "$(( (prompt - start) / 1000000 )) $painted_ms $(( (done - catstart) / 1000000 ))"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }

terminals=(quillaby xterm st alacritty)
[[ ${#ONLY[@]} -gt 0 ]] && terminals=("${ONLY[@]}")
# Round by round, every terminal once a round: a change in the machine's load falls on all of them alike.
declare -A shells prompts cats failures
floors=""
for run in $(seq "$RUNS"); do
    for name in "${terminals[@]}"; do
        [[ -n "${failures[$name]:-}" ]] && continue
        result=$(run_one "$name" "$run")
        if [[ "$result" == fail* ]]; then failures[$name]="$result"; continue; fi
        read -r shell_ms prompt_ms cat_ms <<<"$result"
        shells[$name]+="$shell_ms"$'\n'
        [[ "$prompt_ms" != - ]] && prompts[$name]+="$prompt_ms"$'\n'
        cats[$name]+="$cat_ms"$'\n'
    done
    floor_ms=$("$WORK/ptyfloor" "$WORK/big.txt") && floors+="$floor_ms"$'\n'
done
printf '%-10s %10s %10s %10s %10s\n' terminal shell_ms prompt_ms cat_ms "MiB/s"
for name in "${terminals[@]}"; do
    if [[ -n "${failures[$name]:-}" ]]; then
        printf '%-10s %s\n' "$name" "${failures[$name]}"
        continue
    fi
    shell_ms=$(printf '%s' "${shells[$name]}" | median)
    prompt_ms=$(printf '%s' "${prompts[$name]:-}" | median)
    cat_ms=$(printf '%s' "${cats[$name]}" | median)
    rate=$(awk -v s="$SIZE_MIB" -v ms="$cat_ms" 'BEGIN { printf "%.1f", (ms > 0 ? s * 1000 / ms : 0) }')
    printf '%-10s %10s %10s %10s %10s\n' "$name" "$shell_ms" "$prompt_ms" "$cat_ms" "$rate"
done
if [[ -n "$floors" ]]; then
    floor_ms=$(printf '%s' "$floors" | median)
    rate=$(awk -v s="$SIZE_MIB" -v ms="$floor_ms" 'BEGIN { printf "%.1f", (ms > 0 ? s * 1000 / ms : 0) }')
    printf '%-10s %10s %10s %10s %10s\n' "pty floor" - - "$floor_ms" "$rate"
fi
