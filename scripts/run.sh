#!/usr/bin/env bash
# The main job of `make run`: with a display, the desktop opens on the bundled example; without
# one, the batch demo runs on it. Usage: scripts/run.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
raiz=$(cd "$(dirname "$0")/.." && pwd)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/bin/orva-gui" ]; then
  echo "Opening the desktop on examples/campo_estelar.qor"
  exec "$build/bin/orva-gui" "$raiz/examples/campo_estelar.qor"
fi
exec "$raiz/scripts/demo.sh" "$build"
