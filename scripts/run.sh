#!/usr/bin/env bash
# Sets up, builds and starts Trelvo on the delivered dictionaries (needs a display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec ./build/bin/trelvo
