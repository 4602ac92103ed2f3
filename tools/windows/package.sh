#!/usr/bin/env bash
# Packs a Windows build as Windows users expect: an installer made with NSIS and a portable
# zip of the same folder: quillmark.exe, the Qt and mingw runtime DLLs it loads, the Qt
# plugins it needs (the qwindows platform, the styles) and the licence.
# Usage: package.sh BUILD_DIR. Prints the installer's and the zip's paths.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=$(realpath "$1")
qt=$(tools/windows/build-qt.sh | tail -n 1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=quillmark-$version-windows-x64
stage=$build/package/$name
objdump=x86_64-w64-mingw32-objdump
runtime_dirs=("$qt/bin"
              "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
              /usr/x86_64-w64-mingw32/lib)

# Copies the DLLs a file imports that are not the system's, and theirs in turn.
copy_imports() {
    local dll dir
    for dll in $("$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [[ -e $stage/$dll ]] && continue
        for dir in "${runtime_dirs[@]}"; do
            if [[ -f $dir/$dll ]]; then
                cp "$dir/$dll" "$stage/"
                copy_imports "$stage/$dll"
                break
            fi
        done
    done
}

rm -rf "$build/package" && mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/src/app/quillmark.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
for file in "$stage/quillmark.exe" "$stage"/*/*.dll; do copy_imports "$file"; done
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

(cd "$build/package" && zip -qr9 "$name.zip" "$name")
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$PWD/src/app/windows/quillmark.ico" \
    -DOUTFILE="$build/package/quillmark-$version-setup.exe" tools/windows/installer.nsi >&2
echo "$build/package/quillmark-$version-setup.exe"
echo "$build/package/$name.zip"
