#!/usr/bin/env bash
# Checks a built Quillmark package the way a user meets it: Debian's checkers pass, apt would
# install it here, and unpacked into a scratch root it holds exactly the expected files, its
# program runs, its manual page renders, and its menu entry names a program and an icon that
# it installs.
set -euo pipefail
(($# == 1)) || { echo "usage: $0 PACKAGE.deb" >&2; exit 2; }
deb=$(realpath "$1")
cd "$(dirname "$0")/.."

fail() {
    echo "check-package: $*" >&2
    exit 1
}

tools/install-deps.sh lintian desktop-file-utils appstream man-db
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
id=org.quillmark.Quillmark
desktop=$root/usr/share/applications/$id.desktop

echo "-- lintian, desktop-file-validate, appstreamcli"
lintian --fail-on error,warning "$deb"
desktop-file-validate "$desktop"
appstreamcli validate-tree --no-net "$root"
# apt resolves the package's Depends as a user's `apt install ./quillmark_*.deb` would.
apt-get install --simulate --quiet=2 "$deb" >/dev/null

echo "-- installed files"
expected="usr/bin/quillmark
usr/share/applications/$id.desktop
usr/share/doc/quillmark/changelog.gz
usr/share/doc/quillmark/copyright"
for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
    expected+=$'\n'"usr/share/icons/hicolor/$size/apps/$id.png"
done
expected+="
usr/share/icons/hicolor/scalable/apps/$id.svg
usr/share/man/man1/quillmark.1.gz
usr/share/metainfo/$id.metainfo.xml"
installed=$(cd "$root" && find . -type f -printf '%P\n' | sort)
diff <(sort <<<"$expected") - <<<"$installed" || fail "unexpected installed files (- missing, + extra)"

echo "-- the installed program, manual page and menu entry"
version=$(dpkg-deb --field "$deb" Version)
[[ $("$root/usr/bin/quillmark" --version) == "Quillmark $version" ]] ||
    fail "the installed program does not tell version $version"

page=$root/usr/share/man/man1/quillmark.1.gz
warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
[[ -z $warnings ]] || fail "the manual page renders with warnings: $warnings"

program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ $program == /* ]] || program=/usr/bin/$program
[[ -f $root$program && -x $root$program ]] || fail "Exec names $program, which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for file in "$root"/usr/share/icons/hicolor/{16x16,256x256}/apps/"$icon".png \
    "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"; do
    [[ -f $file ]] || fail "Icon names $icon, but ${file#"$root"} is not installed"
done
echo "Package checks passed: $(basename "$deb")"
