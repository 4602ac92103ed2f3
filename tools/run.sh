#!/usr/bin/env bash
# Builds Quillmark and starts it with port 1 on the simulated loopback rig. Without a
# display it runs headless and saves a picture of the window instead.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quillmark

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec build/src/app/quillmark --port 1=sim "$@"
fi
shot="$PWD/build/quillmark.png"
echo "No display: running headless; the window's picture goes to $shot"
build/src/app/quillmark -platform offscreen --port 1=sim --screenshot "$shot" "$@"
