#!/usr/bin/env bash
# Builds Quillmark for Windows and tests it under Wine: the cross-built unit suite, the Win32
# device on pseudo-terminals (loopback, silence, 8002 for an absent port, 8005 for a port
# another Wine process holds), the program on Xvfb (wiring lamp green and red, "Loopback"
# once a second, exit statuses, its picture in the build folder), and the installer (silent install,
# --version, uninstall). Exits 77 when it cannot run here (no cross tools, no Qt source).
#
# Wine maps COM1 to /dev/ttyS0 by itself, which is this machine's console: everything Wine
# runs happens inside mask-console-ports, in a fresh prefix whose registry maps COM1 to
# COM255 before its first start: COM1 to COM3 to the test's ports, the rest to nothing. Wine
# still gives COM256, which the registry cannot name, to a device of its own finding; the
# program reaches only COM1 to COM16.
set -euo pipefail
self=$(realpath "$0")
cd "$(dirname "$self")/../.."
mask=${QUILLMARK_MASK_CONSOLE_PORTS:-/work/shared/bin/mask-console-ports}

skip() {
    echo "test-wine: skipped: $*"
    exit 77
}
fail() {
    echo "test-wine: FAILED: $*" >&2
    exit 1
}

if [[ ${1:-} != --inside-mask ]]; then
    started=$SECONDS
    for tool in wine x86_64-w64-mingw32-g++-posix makensis Xvfb python3 zip; do
        command -v "$tool" >/dev/null || skip "$tool is missing (tools/windows/install-deps.sh)"
    done
    [[ -x $mask ]] || skip "no $mask to keep Wine off the console port"
    tools/windows/build-qt.sh >/dev/null || skip "Qt for Windows could not be built"
    build=$(tools/windows/build.sh build-windows | tail -n 1)
    mapfile -t packages < <(tools/windows/package.sh "$build")
    "$mask" "$self" --inside-mask "$build" "${packages[@]}"
    echo "test-wine: passed in $((SECONDS - started)) s"
    exit 0
fi

build=$(realpath "$2")
installer=$3
tmp=$(mktemp -d)
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEARCH=win64 QT_QPA_PLATFORM=windows
cleanup() {
    wineserver -k 2>/dev/null || true
    kill "${rig:-}" "${xvfb:-}" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

echo "== Ports and Wine prefix"
tools/windows/pty_rig.py "$tmp" &
rig=$!
for _ in $(seq 50); do [[ -f $tmp/ports ]] && break; sleep 0.1; done
echo_pty=$(sed -n 's/^echo //p' "$tmp/ports")
silent_pty=$(sed -n 's/^silent //p' "$tmp/ports")
touch "$tmp/echo-on"
mkdir -p "$WINEPREFIX"
{
    printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n\n'
    printf '[Software\\\\Wine\\\\Ports] 1700000000\n'
    printf '"COM1"="%s"\n"COM2"="%s"\n"COM3"="%s"\n' "$echo_pty" "$silent_pty" "$tmp/absent"
    # The rest to nothing, so that Wine gives none of them a device of its own finding.
    for n in $(seq 4 255); do printf '"COM%d"=""\n' "$n"; done
} >"$WINEPREFIX/system.reg"
wineboot -i >/dev/null 2>&1
wineserver -w
for n in $(seq 1 16); do
    target=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
    [[ $target != /dev/ttyS* ]] || fail "COM$n maps to $target"
done
ls -l "$WINEPREFIX/dosdevices/" | grep -i ' com'

windows_path() { winepath -w "$1" 2>/dev/null; }
qt=$(tools/windows/build-qt.sh | tail -n 1)
WINEPATH="$(windows_path "$qt/bin");$(windows_path "$(dirname "$(x86_64-w64-mingw32-g++-posix \
    -print-file-name=libstdc++-6.dll)")");$(windows_path /usr/x86_64-w64-mingw32/lib)"
export WINEPATH
run() { wine "$@" 2>/dev/null | tr -d '\r'; }

# The window's tests and the program need a display: Windows' own platform on Xvfb.
Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:77
# Wine's desktop process starts with the first program and keeps the display it found then.
for _ in $(seq 50); do [[ -S /tmp/.X11-unix/X77 ]] && break; sleep 0.1; done
wineserver -k 2>/dev/null || true

echo "== Unit suite"
for test in "$build"/tests/*/test_*.exe; do
    result=$tmp/$(basename "$test" .exe).txt
    wine "$test" -silent -o "$(windows_path "$result"),txt" >/dev/null 2>&1 || {
        tr -d '\r' <"$result" >&2
        fail "$(basename "$test")"
    }
done

echo "== The Win32 device"
probe=$build/tests/serial/wine_probe.exe
[[ $(run "$probe" loopback 1) == Loopback ]] || fail "no loopback on COM1"
[[ -z $(run "$probe" loopback 2) ]] || fail "the silent COM2 answered"
for n in 3 4; do
    [[ $(run "$probe" open $n || true) == "error 8002 "* ]] || fail "COM$n: no 8002"
done
run "$probe" hold 1 6 >/dev/null &
holder=$!
sleep 3
[[ $(run "$probe" open 1 || true) == "error 8005 "* ]] || fail "COM1 held: no 8005"
wait "$holder"
run "$build/src/app/quillmark.exe" --list-ports

echo "== The program on Xvfb"
program=$build/src/app/quillmark.exe
wiring_lamp() { run "$probe" pixel "$(windows_path "$1")" 120 138; }
: >"$tmp/loopbacks.log"  # the rig appends to it
run "$program" --screenshot "$(windows_path "$tmp/green.png")" || fail "--screenshot exit $?"
[[ $(wiring_lamp "$tmp/green.png") == "#00ff00" ]] || fail "wiring lamp not green on the echo"
timeout 8 wine "$program" >/dev/null 2>&1 || true
wineserver -w
python3 - "$tmp/loopbacks.log" <<'PY' || fail "\"Loopback\" not once a second"
import statistics, sys
times = [float(t) for t in open(sys.argv[1])]
gaps = [b - a for a, b in zip(times, times[1:])]
print(f"{len(times)} Loopbacks, median gap {statistics.median(gaps):.2f} s")
sys.exit(0 if len(gaps) >= 3 and 0.8 < statistics.median(gaps) < 1.3 else 1)
PY
# The headless check: the echo passes a data-only plug, also when another number names its
# COM port; an absent port cannot be checked.
for expect in "0 1 --plug data" "0 9 --port 9=com1 --plug data" "2 3"; do
    read -r want port plug <<<"$expect"
    status=0
    run "$program" --check "$port" $plug >/dev/null || status=$?
    [[ $status == "$want" ]] || fail "--check $port $plug exits $status, not $want"
done
rm "$tmp/echo-on"
run "$program" --screenshot "$(windows_path "$tmp/red.png")" >/dev/null
[[ $(wiring_lamp "$tmp/red.png") == "#ff0000" ]] || fail "wiring lamp not red on silence"
[[ $(run "$program" --version) == "Quillmark "* ]] || fail "--version"
status=0
run "$program" --bogus >/dev/null || status=$?
[[ $status == 2 ]] || fail "a wrong option exits $status, not 2"
cp "$tmp/green.png" "$build/quillmark-wine.png"  # the picture docs/ shows

echo "== The installer"
run "$installer" /S '/D=C:\Quillmark'
wineserver -w
installed=$WINEPREFIX/drive_c/Quillmark
[[ -f $installed/quillmark.exe && -f $installed/platforms/qwindows.dll ]] || fail "not installed"
find "$WINEPREFIX/drive_c/ProgramData" -name 'Quillmark.lnk' | grep -q . || fail "no Start entry"
WINEPATH= run 'C:\Quillmark\quillmark.exe' --version | grep -q '^Quillmark ' ||
    fail "the installed program did not start"
run 'C:\Quillmark\uninstall.exe' /S
wineserver -w
sleep 2
[[ ! -e $installed/quillmark.exe ]] || fail "not uninstalled"
