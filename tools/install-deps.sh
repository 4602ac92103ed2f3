#!/usr/bin/env bash
# Installs what building and testing Quillmark needs on Debian 12, as root. Skips apt when
# everything is there already.
set -euo pipefail

packages=(cmake ninja-build g++ clang-format qt6-base-dev qt6-base-dev-tools libgl-dev
          libfontconfig-dev fonts-liberation xvfb xauth locales "$@")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests read numbers under a decimal-comma locale too.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
