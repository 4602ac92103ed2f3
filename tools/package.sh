#!/usr/bin/env bash
# Builds Quillmark's Debian package: the program in build/ (the same build the tests use),
# then CPack. The .deb goes to the folder given, by default the repository's folder.
set -euo pipefail
out=$(realpath -m "${1:-$(dirname "$0")/..}")
cd "$(dirname "$0")/.."

# dpkg-shlibdeps (in dpkg-dev) works out Depends; CPack finds the binaries to ask it about
# with file.
tools/install-deps.sh dpkg-dev file
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_SANITIZE=OFF >/dev/null
# The program is all the package needs compiled; its other files are made at configure time.
cmake --build build -j "$(nproc)" --target quillmark

rm -rf build/cpack
cpack --config build/CPackConfig.cmake -B build/cpack >/dev/null
mkdir -p "$out"
for deb in build/cpack/quillmark_*.deb; do
    mv "$deb" "$out/"
    echo "Built $out/$(basename "$deb")"
done
