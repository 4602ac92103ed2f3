#!/usr/bin/env bash
# Time from process start (fork) to the X server mapping the program's top-level window, and
# peak memory (VmHWM) 1 s after that, for Quillmark (every port simulated, port 1 on the
# loopback rig), CuteCom, GTKTerm and an empty Qt window, under one Xvfb display. One round
# runs each program once, in a new random order; one unrecorded round warms the caches
# first. Prints medians with min and max, and whether GTKTerm held the pseudo-terminal it
# was given. Usage: bench/startup_vs_peers.sh [-b build-dir] [-r rounds (9)] [-q label=binary]
set -euo pipefail
cd "$(dirname "$0")/.."
default_rounds=9
source bench/window_bench_common.sh

records=$work/records  # round label mapped_ms hwm_kb port
echo "load average before: $(load_average)"
for round in $(seq 0 "$rounds"); do
    for label in $(shuffled_labels); do
        line=$(probe_program map "$label" 2>>"$work/stderr")
        ((round == 0)) && continue  # the warm-up round
        echo "$round $label $(field mapped_ms "$line") $(field hwm_kb "$line") $(field port "$line")" \
            >>"$records"
    done
done
echo "load average after:  $(load_average)"

echo
echo "$rounds runs each; window = ms from fork to MapNotify; VmHWM in MiB, 1 s after the window"
printf '%-12s %26s   %26s   %s\n' "" "window (ms)" "VmHWM (MiB)" "pseudo-terminal"
printf '%-12s %8s %8s %8s   %8s %8s %8s\n' program median min max median min max
for label in "${labels[@]}"; do
    awk -v l="$label" '$2 == l {print $3}' "$records" >"$work/times"
    awk -v l="$label" '$2 == l {print $4 / 1024}' "$records" >"$work/memory"
    read -r t_med t_min t_max < <(percentiles "$work/times" 50 0 100)
    read -r m_med m_min m_max < <(percentiles "$work/memory" 50 0 100)
    port=$(awk -v l="$label" '$2 == l && $5 != "none" {n++; if ($5 == "held") h++}
        END {if (n) printf "given; held in %d of %d runs", h, n; else print "none given"}' "$records")
    [[ -v quillmark_binary[$label] ]] && port="none (port 1 is the simulated rig)"
    printf '%-12s %8.1f %8.1f %8.1f   %8.1f %8.1f %8.1f   %s\n' "$label" \
        "$t_med" "$t_min" "$t_max" "$m_med" "$m_min" "$m_max" "$port"
done

# Quillmark against each other program, run by run: the median of the per-round ratios.
echo
for label in "${labels[@]:1}"; do
    awk -v l="$label" -v dir="$work" '
        $2 == "quillmark" {qt[$1] = $3; qm[$1] = $4}
        $2 == l {pt[$1] = $3; pm[$1] = $4}
        END {for (r in qt) {print qt[r] / pt[r] >dir "/time_ratios"; print qm[r] / pm[r] >dir "/memory_ratios"}}' \
        "$records"
    printf 'quillmark / %-10s window time %.2f   memory %.2f   (medians of per-round ratios)\n' \
        "$label" "$(percentiles "$work/time_ratios" 50)" "$(percentiles "$work/memory_ratios" 50)"
done
