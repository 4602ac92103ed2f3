# shellcheck shell=bash
# Sourced by the VM scripts: what they take from Debian's archive, installed or only unpacked.
# The caller sets APT_LOG to the file that collects apt's output.

# Installs packages on this machine; fails without root or apt-get.
apt_install() {
    if ! command -v apt-get >/dev/null || [[ $(id -u) != 0 ]]; then
        echo "installing needs root and apt-get" >>"$APT_LOG"
        return 1
    fi
    echo "vm: installing $*"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends "$@" >>"$APT_LOG" 2>&1 && return 0
    apt-get update >>"$APT_LOG" 2>&1 &&
        apt-get install -y --no-install-recommends "$@" >>"$APT_LOG" 2>&1
}

# Downloads packages (NAME or NAME=VERSION) into DIR without installing them. Stale package
# lists may name versions the archive no longer has: they are refreshed once and tried again.
apt_download() {
    local dir=$1
    shift
    if ! command -v apt-get >/dev/null || ! command -v dpkg-deb >/dev/null; then
        echo "downloading needs apt-get and dpkg-deb" >>"$APT_LOG"
        return 1
    fi
    (cd "$dir" && apt-get -o APT::Sandbox::User=root download "$@") >>"$APT_LOG" 2>&1 && return 0
    apt-get update >>"$APT_LOG" 2>&1 &&
        (cd "$dir" && apt-get -o APT::Sandbox::User=root download "$@") >>"$APT_LOG" 2>&1
}
