# shellcheck shell=bash disable=SC2154  # cache, work and root are the caller's
# Sourced by the scripts that boot a test guest: the tools they need, a Debian kernel fetched
# into the cache without being installed, and an initramfs that runs the guest programs with
# Qt's offscreen platform. The caller defines say, skip and fail, sets cache and work, and
# sources debian-archive.sh first.

static_busybox() {
    local b=/bin/busybox
    [[ -x $b ]] && ! ldd "$b" >/dev/null 2>&1
}

# QEMU, a static busybox and the tools named as COMMAND=PACKAGE, installed where missing;
# skips the run where they cannot be had.
need_guest_tools() {
    local missing=() tool pair
    command -v qemu-system-x86_64 >/dev/null || missing+=(qemu-system-x86)
    static_busybox || missing+=(busybox-static)
    for pair in "$@"; do
        command -v "${pair%%=*}" >/dev/null || missing+=("${pair#*=}")
    done
    if ((${#missing[@]})); then
        apt_install "${missing[@]}" ||
            skip "cannot install ${missing[*]}: $(tail -n 1 "$APT_LOG")"
    fi
    command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not available"
    static_busybox || skip "a static busybox is not available at /bin/busybox"
    for tool in ldd gzip objcopy; do
        command -v $tool >/dev/null || fail "$tool is needed to build the initramfs"
    done
}

# ---- kernel ------------------------------------------------------------------------------

# The versioned package that a kernel meta-package (linux-image-cloud-amd64) points at.
kernel_package() {
    apt-cache depends "$1" 2>/dev/null | awk '/Depends: linux-image-[0-9]/ { print $2; exit }'
}

# Downloads the kernel that META points at (without installing it) and keeps its vmlinuz in
# DIR, with the files of the package that match the further patterns ('./lib/modules/...').
download_kernel() {
    local meta=$1 dir=$2 pkg tmp ok=1
    shift 2
    pkg=$(kernel_package "$meta")
    [[ -n $pkg ]] || return 1
    tmp=$(mktemp -d "$cache/fetch.XXXXXX")
    say "fetching kernel package $pkg" >&2
    if apt_download "$tmp" "$pkg" &&
        dpkg-deb --fsys-tarfile "$tmp"/*.deb |
        tar -x -C "$tmp" --wildcards './boot/vmlinuz-*' "$@"; then
        rm -f "$tmp"/*.deb
        mkdir -p "$dir" && cp -r "$tmp"/. "$dir/" && ok=0
    fi
    rm -rf "$tmp"
    return $ok
}

# The newest vmlinuz in DIR, fetched there first if it has none: META [PATTERN...].
kernel_image() {
    local meta=$1 dir=$2
    if ! compgen -G "$dir/boot/vmlinuz-*" >/dev/null; then
        # Stale package lists name a kernel the archive no longer has: refresh and retry.
        download_kernel "$@" ||
            { apt-get update >>"$APT_LOG" 2>&1 && download_kernel "$@"; } || return 1
    fi
    printf "%s\n" "$dir"/boot/vmlinuz-* | sort -V | tail -n 1
}

# ---- initramfs ---------------------------------------------------------------------------

# Makes an empty guest root at $root.
new_guest_root() {
    rm -rf "$root"
    mkdir -p "$root"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,run/lock,etc,quillmark}
    chmod 755 "$root"
    cp /bin/busybox "$root/bin/busybox"
    ln -s busybox "$root/bin/sh"
    echo "root:x:0:0:root:/tmp:/bin/sh" >"$root/etc/passwd"
    echo "nobody:x:65534:65534:nobody:/tmp:/bin/sh" >>"$root/etc/passwd"
}

# Copies a file to the same path under the guest's root (symlinks resolved).
copy_file() {
    local target=$root$1
    [[ -e $target ]] && return 0
    mkdir -p "$(dirname "$target")"
    cp -L "$1" "$target"
}

# Copies the shared libraries a program or plugin loads, the dynamic loader included.
copy_libraries() {
    local lib
    for lib in $(ldd "$1" | grep -o '/[^ ]*' | sort -u); do
        [[ -e $lib ]] || fail "$1 needs $lib, which is missing"
        copy_file "$lib"
    done
}

# Puts the guest programs into /quillmark, with their libraries.
add_guest_programs() {
    local program
    for program in "$@"; do
        objcopy --strip-debug "$program" "$root/quillmark/$(basename "$program")"
        copy_libraries "$program"
    done
}

# Qt's offscreen platform for PROGRAM, one real font and fontconfig's setup: the widgets lay
# out text even offscreen. Sets qt_plugins to the folder the guest finds the plugin under.
add_qt_offscreen() {
    local offscreen font
    qt_plugins=$(qtpaths6 --plugin-dir 2>/dev/null || true)
    [[ -d $qt_plugins ]] || qt_plugins=$(ldd "$1" | awk '/libQt6Core/ { print $3 }' |
        xargs dirname)/qt6/plugins
    offscreen=$qt_plugins/platforms/libqoffscreen.so
    [[ -f $offscreen ]] || fail "the Qt offscreen platform plugin is missing ($offscreen)"
    copy_file "$offscreen"
    copy_libraries "$offscreen"
    font=$(fc-match -f '%{file}' sans 2>/dev/null || true)
    if [[ -f $font ]]; then
        copy_file "$font"
        [[ -d /etc/fonts ]] && cp -rL /etc/fonts "$root/etc/"
    fi
}

# Installs INIT as the guest's /init, with the setting it sources first, and packs the root
# into the file OUT.
pack_guest_root() {
    local init=$1 out=$2
    sed "s|@QT_PLUGIN_PATH@|$qt_plugins|" "$(dirname "${BASH_SOURCE[0]}")/guest-setup.sh" \
        >"$root/quillmark/guest-setup.sh"
    cp "$init" "$root/init"
    chmod 755 "$root/init"
    (cd "$root" && find . | busybox cpio -o -H newc -R 0:0 2>/dev/null) | gzip -1 >"$out" ||
        fail "cannot build the initramfs"
}
