#!/usr/bin/env bash
# Builds and starts Quillaby. The desktop application does not exist yet: only its terminal engine
# (Tessaline) does, so this builds the engine and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

echo
echo "Quillaby's desktop application is not built yet; so far only its terminal engine, Tessaline, exists."
echo "The engine library is at build/release/Tessaline/libtessaline.a; run scripts/test.sh to exercise it."
