#!/usr/bin/env bash
# Installs what the Windows build and its tests under Wine need on Debian 12, as root: the
# mingw-w64 compilers, Wine, NSIS, and a deb-src entry for the host's archive so that
# build-qt.sh can fetch Qt's source package. Skips whatever is there already.
set -euo pipefail
cd "$(dirname "$0")"

sources=/etc/apt/sources.list.d/quillmark-deb-src.sources
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # The same archive and suites as the binary packages, so the source matches the host's Qt.
    awk '/^Types:/ { print "Types: deb-src"; next } { print }' \
        /etc/apt/sources.list.d/debian.sources >"$sources"
    apt-get update -qq
fi
../install-deps.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 wine nsis zip \
    dpkg-dev python3
