# Shared by the bench scripts that run terminals side by side; sourced, with WORK and PIDS set.

# A display of its own: Xvfb picks a free number and writes it once it accepts clients.
start_private_xvfb() {
    Xvfb -displayfd 5 -screen 0 1600x1000x24 -nolisten tcp 5>"$WORK/display" >/dev/null 2>&1 &
    PIDS+=("$!")
    for _ in $(seq 100); do [[ -s "$WORK/display" ]] && break; sleep 0.1; done
    [[ -s "$WORK/display" ]] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$WORK/display")"
}

# Starts terminal NAME running SCRIPT at 80x24 with HOME as its home, output to LOG, in the background
# ($! is its pid). Quillaby (BINARY) opens the Handheld skin with SCRIPT as its shell.
start_terminal() {
    local name="$1" binary="$2" script="$3" home="$4" log="$5"
    mkdir -p "$home/.local/share/Quillaby" "$home/.config"
    case "$name" in
        quillaby)
            printf '{"hasLaunchedBefore": true, "defaultSkin": "Handheld v1", "defaultShell": "%s"}' "$script" \
                > "$home/.local/share/Quillaby/settings.json"
            HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
                "$binary" >"$log" 2>&1 &
            ;;
        xterm) HOME="$home" xterm -geometry 80x24 -e "$script" >"$log" 2>&1 & ;;
        st) HOME="$home" stterm -g 80x24 -e "$script" >"$log" 2>&1 & ;;
        alacritty) HOME="$home" alacritty -o window.dimensions.columns=80 -o window.dimensions.lines=24 \
                       -e "$script" >"$log" 2>&1 & ;;
    esac
}
