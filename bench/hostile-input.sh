#!/usr/bin/env bash
# The hostile-input table: each stream or program run in headless-run, with its wall time, peak resident
# memory and exit status. Needs a release build and GNU time (/usr/bin/time).
#   bench/hostile-input.sh [build/release]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
run="$build/tools/headless-run/headless-run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One row: a name and a command for headless-run; prints seconds, peak MiB and the exit status.
row() {
    local name=$1
    shift
    /usr/bin/time -f "%e %M %x" -o "$work/time" "$@" >"$work/out" 2>/dev/null
    read -r seconds kib status < <(tail -1 "$work/time")
    printf '%-58s %7.2f s %7d MiB  exit %s\n' "$name" "$seconds" $((kib / 1024)) "$status"
}

# 70,000 distinct clusters (a letter and three marks), a reset, then "é", a flag and a ZWJ sequence.
marks=()
for ((n = 0x300; n < 0x370; n++)); do
    marks+=("$(printf "\\$(printf %03o $((0xC0 | n >> 6)))\\$(printf %03o $((0x80 | (n & 0x3F))))")")
done
letters=abcdefghijklmnopqrstuvwxyz
for ((i = 0; i < 70000; i++)); do
    printf '%s' "${letters:i % 26:1}${marks[i / 26 % 112]}${marks[i / 2912 % 112]}${marks[99 + i % 13]}"
done >"$work/clusters"
printf '\033ce\314\201 \360\237\207\253\360\237\207\267 \360\237\221\251\342\200\215\360\237\222\273\n' >>"$work/clusters"
row "70,000 clusters, reset, then e+U+0301, a flag, ZWJ" "$run" -- cat "$work/clusters"
tail -1 "$work/out" | sed 's/^/    last row: /'

# 13 KB of Sixel: a 10,000-pixel square raster, 1,666 bands of !10000~; then thirty in a row.
{
    printf '\033Pq"1;1;10000;10000#0;2;100;0;0#0'
    for ((i = 0; i < 1666; i++)); do printf '!10000~-'; done
    printf '\033\\'
} >"$work/sixel"
for ((i = 0; i < 30; i++)); do cat "$work/sixel"; done >"$work/sixel30"
row "one 13 KB Sixel image, 10000x10000" "$run" -- cat "$work/sixel"
row "thirty of them" "$run" -- cat "$work/sixel30"

# A chunked Kitty transmission of a 10000x10000 RGBA image that never finishes (200 MiB of chunks).
{
    printf '\033_Ga=t,i=1,f=32,s=10000,v=10000,m=1;\033\\'
    chunk=$(head -c 49152 /dev/zero | base64 -w0)
    for ((i = 0; i < 64; i++)); do printf '\033_Gm=1;%s\033\\' "$chunk"; done
} >"$work/kitty-block"
row "an unfinished Kitty transmission (200 MiB of chunks)" "$run" -- sh -c "for i in \$(seq 68); do cat '$work/kitty-block'; done"

# A program in raw mode that never reads while 200 MiB are sent to it (a reply-storm of CSI 6n).
row "200 MiB of position reports to a program that never reads" "$run" -- sh -c \
    "stty raw -echo; head -c 20971520 /dev/zero | tr '\\0' '\\n' | sed 's/.*/\\x1b[6n/' | head -c 209715200; sleep 1"

# A program deaf to SIGHUP and SIGTERM, headless-run stopped after a second.
"$run" -- sh -c 'trap "" HUP TERM; echo $$ >'"$work/deaf"'; while :; do seq 1 100000; done' >/dev/null &
runner=$!
sleep 1
start=$(date +%s.%N)
kill -TERM "$runner"
wait "$runner"
status=$?
end=$(date +%s.%N)
deaf=$(cat "$work/deaf")
left=$(if kill -0 "$deaf" 2>/dev/null && ! grep -q '^State:.*Z' "/proc/$deaf/status"; then echo "still running"; else echo "gone"; fi)
printf '%-58s %7.2f s after SIGTERM, exit %s, program %s\n' "a deaf program flooding output, SIGTERM" \
    "$(echo "$end - $start" | bc)" "$status" "$left"

# A program that exits leaving a job that writes every 50 ms.
row "exits, leaving a job that writes every 50 ms" "$run" -- sh -c \
    '(trap "" HUP; exec sh -c "while :; do echo tick; sleep 0.05; done") & sleep 0.2; exit 3'

# Programs that cannot be started.
for program in /nonexistent /etc /etc/passwd; do
    row "cannot be started: $program" "$run" -- "$program"
    sed 's/^/    screen: /' "$work/out"
done
