#!/usr/bin/env bash
# Builds Quillmark and starts it on simulated ports: port 1 is the loopback rig, ports 2 to 7
# its variants (no plug, a late echo, a half echo, held by another program, absent, noisy),
# and 8 to 16 absent, so that no choice in the window reaches a real device. Without a
# display it runs headless and saves a picture of the window instead.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quillmark

ports=(--port 1=sim)
variants=(noplug late partial held absent noisy)
for i in "${!variants[@]}"; do ports+=(--port "$((i + 2))=sim:${variants[$i]}"); done
for n in $(seq 8 16); do ports+=(--port "$n=sim:absent"); done

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    exec build/src/app/quillmark "${ports[@]}" "$@"
fi
shot="$PWD/build/quillmark.png"
echo "No display: running headless; the window's picture goes to $shot"
build/src/app/quillmark -platform offscreen "${ports[@]}" --screenshot "$shot" "$@"
