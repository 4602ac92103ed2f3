#!/usr/bin/env bash
# Cross-builds Qt Core, Gui, Widgets and Test for 64-bit Windows from Debian's own qt6-base
# source package (the same version as the host's Qt tools, which the cross build runs) into a
# cache outside the checkout, so fresh clones on this machine reuse it. Does nothing when the
# cache already holds that version. Prints the install prefix as its last line.
#
# Needs a deb-src entry for the host's archive and the mingw-w64 compilers
# (tools/windows/install-deps.sh). QT_MINGW_CACHE overrides the cache folder; QT_MINGW_JOBS the
# build's parallelism (default 2, at the lowest priority: the machine is shared).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev-tools)
version=${source_version%%+*}
cache_root=${QT_MINGW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quillmark}
prefix=$cache_root/qt-mingw-$version
stamp=$prefix/.quillmark-built
work=$cache_root/qt-mingw-$version.work

if [[ -f $stamp ]]; then
    echo "$prefix"
    exit 0
fi

fetch_source() {
    [[ -d $work/source ]] && return
    rm -rf "$work/fetch" && mkdir -p "$work/fetch"
    (cd "$work/fetch" && apt-get source --download-only "qt6-base=$source_version") >&2
    dpkg-source --no-check -x "$work"/fetch/*.dsc "$work/fetch/qtbase" >&2
    # Gui builds the DirectWrite font database only with Direct2D, which is off here; the
    # Windows plugin then uses the GDI one, its default anyway.
    sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
        "$work/fetch/qtbase/src/plugins/platforms/windows/qwindowsintegration.cpp"
    mv "$work/fetch/qtbase" "$work/source"
    rm -rf "$work/fetch"
}

configure_qt() {
    [[ -f $work/build/build.ninja ]] && return
    # Qt's toolchain file chains to this one by path: keep a copy beside the install so a
    # checkout can move or vanish.
    mkdir -p "$prefix"
    cp "$here/../../cmake/mingw-w64-x86_64.cmake" "$prefix/mingw-w64-x86_64.cmake"
    # Debian's repack drops the Wintab headers (tablet events), and without OpenGL the
    # dynamic-GL branches of the Windows plugin must be off as well. Windows draws text with
    # its own font engines: no FreeType, no Direct2D platform.
    cmake -G Ninja -S "$work/source" -B "$work/build" \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64.cmake" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_BUILD_TYPE=Release \
        -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_freetype=OFF \
        -DFEATURE_system_doubleconversion=OFF \
        -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_dbus=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF \
        -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF \
        -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF \
        -DFEATURE_direct2d=OFF -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF >&2
}

fetch_source
configure_qt
started=$SECONDS
nice -n 19 cmake --build "$work/build" --parallel "${QT_MINGW_JOBS:-2}" >&2
cmake --install "$work/build" >&2
echo "Qt $version for mingw-w64 built in $(((SECONDS - started) / 60)) min," \
     "installed $(du -sh "$prefix" | cut -f1) in $prefix" >&2
touch "$stamp"
rm -rf "$work"
echo "$prefix"
