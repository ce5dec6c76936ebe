#!/usr/bin/env bash
# Launch time and `cat` throughput of Quillaby's device window against xterm, st and alacritty, on one
# private X server in the same run.
#
#   bench/launch-and-cat.sh [--size MIB] [--runs N] [--only NAME...]
#
# Every terminal runs the same small shell script instead of an interactive shell: it stamps the time
# it starts (the prompt), prints a prompt, cats the file, and stamps the time again. Launch is the time
# from starting the terminal to its prompt; cat is the time the file took to pass through the terminal
# (cat ends when the terminal has read all but the last pty buffer). Missing peers are installed with
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
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

echo "making a ${SIZE_MIB} MiB text file ..." >&2
# Printable text in lines of 76 characters, as a log or a listing would be.
head -c $((SIZE_MIB * 1024 * 1024 * 3 / 4)) /dev/urandom | base64 -w 76 > "$WORK/big.txt"

# A display of its own: Xvfb picks a free number and writes it once it accepts clients.
Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp 5>"$WORK/display" >/dev/null 2>&1 &
PIDS+=("$!")
for _ in $(seq 100); do [[ -s "$WORK/display" ]] && break; sleep 0.1; done
[[ -s "$WORK/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$WORK/display")"
export LIBGL_ALWAYS_SOFTWARE=1

now_ns() { date +%s%N; }

# The script every terminal runs: $1 is the file of time stamps.
write_script() {
    cat > "$1" <<EOF
#!/bin/sh
date +%s%N > "$2.prompt"
printf 'bench\$ '
cat "$WORK/big.txt"
date +%s%N > "$2.done"
exec sleep 600
EOF
    chmod +x "$1"
}

# Runs one terminal once; prints "launch_ms cat_ms" or "fail <why>".
run_one() {
    local name="$1" run="$2"
    local stamp="$WORK/$name-$run" script="$WORK/$name-$run.sh"
    write_script "$script" "$stamp"
    local home="$WORK/home-$name-$run"
    mkdir -p "$home/.local/share/Quillaby" "$home/.config"
    local start pid
    start=$(now_ns)
    case "$name" in
        quillaby)
            printf '{"hasLaunchedBefore": true, "defaultSkin": "Handheld v1", "defaultShell": "%s"}' "$script" \
                > "$home/.local/share/Quillaby/settings.json"
            HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
                "$QUILLABY" >"$stamp.log" 2>&1 &
            ;;
        xterm) HOME="$home" xterm -geometry 80x24 -e "$script" >"$stamp.log" 2>&1 & ;;
        st) HOME="$home" stterm -g 80x24 -e "$script" >"$stamp.log" 2>&1 & ;;
        alacritty) HOME="$home" alacritty -o window.dimensions.columns=80 -o window.dimensions.lines=24 \
                       -e "$script" >"$stamp.log" 2>&1 & ;;
    esac
    pid=$!
    PIDS+=("$pid")
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
    local prompt done
    prompt=$(cat "$stamp.prompt")
    done=$(cat "$stamp.done")
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    echo "$(( (prompt - start) / 1000000 )) $(( (done - prompt) / 1000000 ))"
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }

terminals=(quillaby xterm st alacritty)
[[ ${#ONLY[@]} -gt 0 ]] && terminals=("${ONLY[@]}")
# Round by round, every terminal once a round: a change in the machine's load falls on all of them alike.
declare -A launches cats failures
for run in $(seq "$RUNS"); do
    for name in "${terminals[@]}"; do
        [[ -n "${failures[$name]:-}" ]] && continue
        result=$(run_one "$name" "$run")
        if [[ "$result" == fail* ]]; then failures[$name]="$result"; continue; fi
        launches[$name]+="${result% *}"$'\n'
        cats[$name]+="${result#* }"$'\n'
    done
done
printf '%-10s %10s %10s %10s\n' terminal launch_ms cat_ms "MiB/s"
for name in "${terminals[@]}"; do
    if [[ -n "${failures[$name]:-}" ]]; then
        printf '%-10s %s\n' "$name" "${failures[$name]}"
        continue
    fi
    launch=$(printf '%s' "${launches[$name]}" | median)
    cat_ms=$(printf '%s' "${cats[$name]}" | median)
    rate=$(awk -v s="$SIZE_MIB" -v ms="$cat_ms" 'BEGIN { printf "%.1f", (ms > 0 ? s * 1000 / ms : 0) }')
    printf '%-10s %10s %10s %10s\n' "$name" "$launch" "$cat_ms" "$rate"
done
