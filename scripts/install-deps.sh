#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need (libclang-rt-dev: the fuzzer and
# sanitizer runtimes of clang; xvfb, picom, xdotool, imagemagick, x11-xkb-utils: the X tests and
# screenshots; trayer, desktop-file-utils: the tray and install tests).
# Idempotent: returns at once when all are there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libicu-dev zlib1g-dev libpng-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libvterm-dev
    clang libclang-rt-dev
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev libzip-dev libxcb1-dev libxcb-keysyms1-dev
    libfontconfig-dev
    fonts-dejavu-core fonts-jetbrains-mono
    xvfb xauth libgl1-mesa-dri picom xdotool imagemagick x11-utils x11-xkb-utils trayer desktop-file-utils git
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "Missing packages (${missing[*]}) and no root or sudo to install them." >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || true
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
