#!/usr/bin/env bash
# Time from process start to the first visible window, and peak memory, for Quillmark and
# for two serial terminals from Debian, each started the same way under one Xvfb display.
# Usage: bench/startup_vs_peers.sh [build-dir] [runs]. Needs xvfb, xdotool, cutecom, gtkterm.
# The peers open no /dev/ttyS*: CuteCom opens nothing until asked, GtkTerm is given a pty.
set -euo pipefail
build=${1:-build}
runs=${2:-10}
quillmark="$build/src/app/quillmark"

# Xvfb picks a free display number itself and writes it to the file.
displayfile=$(mktemp)
Xvfb -displayfd 5 -noreset -screen 0 1280x1024x24 -nolisten tcp 5>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s "$displayfile" ]] && break; sleep 0.05; done
display=":$(head -n1 "$displayfile")"
ptyholder=""
cleanup() {
    kill "$xvfb" 2>/dev/null || true
    [[ -n "$ptyholder" ]] && kill "$ptyholder" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# A pseudo-terminal for GtkTerm, held open by a background process.
ptyfile=$(mktemp)
python3 -c 'import os,pty,sys,time; m,s=pty.openpty(); print(os.ttyname(s), flush=True); time.sleep(3600)' >"$ptyfile" &
ptyholder=$!
for _ in $(seq 50); do [[ -s "$ptyfile" ]] && break; sleep 0.05; done
pty=$(head -n1 "$ptyfile")

# One start: prints "milliseconds-to-window peak-kB".
measure() {
    local start end pid hwm
    start=$(date +%s%N)
    "$@" >/dev/null 2>>/tmp/startup-stderr.log &
    pid=$!
    until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do
        kill -0 "$pid" 2>/dev/null || { echo "exited early" >&2; return 1; }
        sleep 0.002
    done
    end=$(date +%s%N)
    sleep 1  # let it settle before reading its peak memory
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
    kill "$pid"; wait "$pid" 2>/dev/null || true
    echo "$(( (end - start) / 1000000 )) $hwm"
}

summary() {
    local name=$1; shift
    local times=() mems=()
    for _ in $(seq "$runs"); do
        read -r t m < <(measure "$@")
        times+=("$t"); mems+=("$m")
    done
    local tmed mmax
    tmed=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
    mmax=$(printf '%s\n' "${mems[@]}" | sort -n | tail -n1)
    printf '%-10s window after: median %4d ms (runs: %s)  peak memory: %6d kB\n' \
        "$name" "$tmed" "${times[*]}" "$mmax"
    echo "$tmed $mmax" >"/tmp/startup-$name"
}

summary quillmark "$quillmark" --port 1=sim
summary cutecom cutecom
summary gtkterm gtkterm --port "$pty"

read -r qt qm </tmp/startup-quillmark
for peer in cutecom gtkterm; do
    read -r pt pm <"/tmp/startup-$peer"
    awk -v qt="$qt" -v pt="$pt" -v qm="$qm" -v pm="$pm" -v p="$peer" \
        'BEGIN {printf "quillmark / %-8s time %.2f  memory %.2f\n", p, qt/pt, qm/pm}'
done
