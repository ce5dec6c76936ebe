#!/usr/bin/env bash
# Redraws the bundled art (skin frames and their skin.json, brand marks, icons) into Quillaby/Resources
# with the generator in tools/art. The output is committed; run this after changing the generator.
#   scripts/make-art.sh [--preview DIR]    # --preview also writes each frame over a terminal screen
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j 4 --target quillaby_art
build/release/tools/art/quillaby_art Quillaby/Resources "$@"
git status --short -- Quillaby/Resources
