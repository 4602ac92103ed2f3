#!/usr/bin/env bash
# Builds the test rig's kernel module for a guest kernel image, against the headers Debian
# ships for exactly that kernel. The headers are fetched into the cache and unpacked there,
# not installed. The module is for the guest: it is never loaded on this machine.
#
# Exit status: 0 built (OUT/quillmark_rig.ko), 1 the build failed, 77 when the headers or the
# compiler for that kernel cannot be had.
set -uo pipefail

usage() {
    cat <<EOF
usage: $0 --kernel IMAGE --source DIR --cache DIR --out DIR
  --kernel  the guest's kernel image (bzImage); its version names the headers
  --source  the module's sources (Kbuild, *.c, *.h)
  --cache   where the unpacked headers are kept between runs
  --out     build directory for the module
EOF
    exit 2
}

kernel='' source='' cache='' out=''
while (($#)); do
    case $1 in
        --kernel) kernel=$2; shift 2 ;;
        --source) source=$2; shift 2 ;;
        --cache) cache=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) usage ;;
    esac
done
[[ -n $kernel && -n $source && -n $cache && -n $out ]] || usage
cache=$(realpath -m "$cache") out=$(realpath -m "$out")

say() { echo "vm: $*"; }
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$cache" "$out" || fail "cannot create $cache or $out"
APT_LOG=$out/apt.log
: >"$APT_LOG"
# shellcheck source-path=SCRIPTDIR
source "$(dirname "${BASH_SOURCE[0]}")/debian-archive.sh"

# The version string a bzImage carries, found through its setup header: "RELEASE (builder)
# #1 SMP ... Debian VERSION (date)".
kernel_version_string() {
    local offset
    [[ $(dd if="$1" bs=1 skip=$((0x202)) count=4 2>/dev/null) == HdrS ]] || return 1
    offset=$(od -An -j $((0x20e)) -N 2 -t u2 "$1" | tr -d ' ')
    ((offset > 0)) || return 1
    dd if="$1" bs=1 skip=$((offset + 0x200)) count=256 2>/dev/null | tr '\0' '\n' | head -n 1
}

version=$(kernel_version_string "$kernel") || skip "cannot read the kernel version from $kernel"
release=${version%% *}
upload=$(sed -n 's/.* Debian \([^ ]*\) .*/\1/p' <<<"$version")
[[ -n $upload ]] || skip "kernel $release is not Debian's: no headers package to build the rig module against"
headers_package=linux-headers-$release

# The architecture's headers lean on a common part and on the kbuild tools of the same upload.
header_dependencies() {
    apt-cache depends "$headers_package" 2>/dev/null |
        awk '/Depends: linux-(headers-.*-common|kbuild-)/ { print $2 }'
}

unpack_headers() {
    local root=$1 tmp dependencies dependency deb ok=1 packages=("$headers_package=$upload")
    dependencies=$(header_dependencies)
    [[ -n $dependencies ]] || { apt-get update >>"$APT_LOG" 2>&1; dependencies=$(header_dependencies); }
    [[ -n $dependencies ]] || return 1
    for dependency in $dependencies; do
        # The kbuild tools of the kernel's own upload may leave the archive before the kernel
        # does; those of a later upload of the same series build the same modules.
        if [[ $dependency == linux-kbuild-* ]] &&
            ! apt-cache madison "$dependency" | grep -q "^ *$dependency | *$upload |"; then
            packages+=("$dependency")
        else
            packages+=("$dependency=$upload")
        fi
    done
    tmp=$(mktemp -d "$cache/fetch.XXXXXX")
    say "fetching $headers_package $upload"
    if apt_download "$tmp" "${packages[@]}"; then
        ok=0
        for deb in "$tmp"/*.deb; do
            dpkg-deb -x "$deb" "$root" || ok=1
        done
    fi
    rm -rf "$tmp"
    # Debian's headers include their common part by its installed path.
    ((ok == 0)) && sed -i "s|include /usr/src/|include $root/usr/src/|" \
        "$root/usr/src/$headers_package/Makefile"
}

headers_root=$cache/headers/$release-$upload
headers=$headers_root/usr/src/$headers_package
if [[ ! -e $headers_root/.unpacked ]]; then
    rm -rf "$headers_root"
    mkdir -p "$headers_root"
    if ! unpack_headers "$headers_root"; then
        skip "Debian's archive has no $headers_package $upload for the guest kernel (see $APT_LOG)"
    fi
    touch "$headers_root/.unpacked"
fi

# The kernel was built with one compiler; its modules must be too.
compiler=$(grep -o 'gcc-[0-9]*' "$headers/.kernelvariables" | head -n 1)
tools=()
command -v "${compiler:-gcc}" >/dev/null || tools+=("${compiler:-gcc}")
command -v make >/dev/null || tools+=(make)
if ((${#tools[@]})); then
    apt_install "${tools[@]}" || skip "cannot install ${tools[*]}: $(tail -n 1 "$APT_LOG")"
fi

cp -p "$source"/Kbuild "$source"/*.c "$source"/*.h "$out/" || fail "cannot copy the rig module's sources"
if ! make -C "$headers" M="$out" modules >"$out/build.log" 2>&1; then
    tail -n 20 "$out/build.log"
    fail "the rig module did not build for $release (see $out/build.log)"
fi
say "rig module built for $release"
