#!/usr/bin/env bash
# Builds and starts Quillaby (an X11 desktop session is expected: DISPLAY set). Arguments go to the
# application, e.g. scripts/run.sh --preview-skin ~/my-skin
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target Quillaby
exec build/release/bin/Quillaby "$@"
