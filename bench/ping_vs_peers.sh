#!/usr/bin/env bash
# How fast each program's window answers a window manager: the probe sends the window's
# _NET_WM_PING every 20 to 50 ms (at random) and times the reply. Quillmark runs with port 1
# on the loopback rig, so its wiring check runs every second; CuteCom holds no port, GTKTerm
# is given a pseudo-terminal (the table says whether it held it); an empty Qt window is the
# floor. One round gives each program one turn of S seconds, 2 s after its window mapped, in
# a new random order. With -c MS, Quillmark has a second turn ("cycle-MS") during a cycle of
# RTS and DTR with MS ms between passes, started from the keyboard by xdotool. Prints p50, p99
# and max over all turns; asserts nothing.
# Usage: bench/ping_vs_peers.sh [-b build-dir] [-r rounds (3)] [-s seconds (10)] [-c MS]
#                               [-q label=binary]
set -euo pipefail
cd "$(dirname "$0")/.."
default_rounds=3
source bench/window_bench_common.sh

records=$work/records  # label pings answered port cpu_percent probe_cpu_ms
echo "load average before: $(load_average)"
for _ in $(seq "$rounds"); do
    for label in $(shuffled_labels); do
        line=$(probe_program ping "$label" --seconds "$seconds" --replies "$work/replies.$label" \
            2>>"$work/stderr")
        echo "$label $(field pings "$line") $(field answered "$line") $(field port "$line")" \
            "$(field cpu_percent "$line") $(field probe_cpu_ms "$line")" >>"$records"
    done
done
echo "load average after:  $(load_average)"

echo
echo "$rounds turns of $seconds s each; reply time in ms from sending the ping to reading the reply"
printf '%-12s %7s %8s %8s %8s %8s %7s %7s  %s\n' program pings answered p50 p99 max "cpu %" \
    "probe" "pseudo-terminal"
for label in "${labels[@]}"; do
    read -r pings answered cpu probe_ms port < <(awk -v l="$label" '$1 == l {
            p += $2; a += $3; c += $5; pr += $6; n++; if ($4 == "held") h++; if ($4 != "none") g++
        } END {
            port = g ? sprintf("given,_held_in_%d_of_%d_turns", h, g) : "none_given"
            printf "%d %d %.1f %.0f %s\n", p, a, c / n, pr / n, port
        }' "$records")
    [[ -v quillmark_binary[$label] || $label == cycle-* ]] &&
        port="none (port 1 is the simulated rig)"
    read -r p50 p99 max < <(percentiles "$work/replies.$label" 50 99 100)
    printf '%-12s %7d %8d %8.2f %8.2f %8.2f %7.1f %5sms  %s\n' "$label" "$pings" "$answered" \
        "$p50" "$p99" "$max" "$cpu" "$probe_ms" "${port//_/ }"
done
echo "cpu %: the program's processor time per turn; probe: the probe's own per turn"
