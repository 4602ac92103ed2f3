#!/usr/bin/env bash
# Cross-builds Quillmark and its Windows test suite for 64-bit Windows against the cached Qt
# (build-qt.sh builds it on first use), warnings as errors. Usage: build.sh [BUILD_DIR]
# (default build-windows). Prints the build folder last.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build-windows}
qt=$(tools/windows/build-qt.sh | tail -n 1)
"$qt/bin/qt-cmake" -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLMARK_WERROR=ON \
    -DQUILLMARK_VM_TESTS=OFF -DQUILLMARK_BUILD_BENCHMARKS=OFF $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >&2
cmake --build "$build" -j "${QUILLMARK_JOBS:-2}" >&2
echo "$build"
