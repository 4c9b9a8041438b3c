#!/usr/bin/env bash
# Serves the published update of the delivered Czech-English dictionary on
# 127.0.0.1:8717, where the delivered net.ini looks for updates: the folder
# trelvo-tool publish laid out at build time, edition 1.1 signed by the demo
# key the build made for itself, which only the build folder's trusted-keys
# trusts. Start it, then start the program (bash scripts/run.sh) and open the
# Czech-English dictionary with the update button pressed: it downloads
# edition 1.1, verifies its signature, asks and merges it.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -f build/bin/updates/trelvo/cs-en.dsl.sig ] || [ ! -f build/bin/trusted-keys ]; then
  bash scripts/setup.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$(nproc)"
fi
echo "Serving build/bin/updates on http://127.0.0.1:8717/trelvo/ (Ctrl+C ends it):"
ls build/bin/updates/trelvo
sed 's/^/  autoupdt.cfg: /' build/bin/updates/trelvo/autoupdt.cfg
exec python3 -m http.server 8717 --bind 127.0.0.1 --directory build/bin/updates
