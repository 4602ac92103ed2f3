# Shared by bench/startup_vs_peers.sh and bench/ping_vs_peers.sh (sourced from the repository's
# folder, not run): options, packages, a private mount namespace without serial consoles, the
# probe, one Xvfb display with a session bus, the programs compared and small statistics.
# Needs root (apt, mount namespace). Paths are relative to the repository's folder.
#   -b DIR           Quillmark's build directory (default build)
#   -r N             rounds: runs (or turns) of each program (default set by the script)
#   -s S             seconds of pinging per turn (ping benchmark only, default 10)
#   -q LABEL=BINARY  one more Quillmark binary in the rotation, e.g. an older build
#   -c MS            (ping benchmark) one more Quillmark turn, "cycle-MS": the probe starts a
#                    cycle of RTS and DTR with MS ms between passes before it pings

build=build
rounds=$default_rounds
seconds=10
declare -A quillmark_binary=()
extra_labels=()
cycle_ms=
while getopts "b:r:s:q:c:" option; do
    case $option in
        b) build=$OPTARG ;;
        r) rounds=$OPTARG ;;
        s) seconds=$OPTARG ;;
        q) quillmark_binary[${OPTARG%%=*}]=${OPTARG#*=}; extra_labels+=("${OPTARG%%=*}") ;;
        c) cycle_ms=$OPTARG; extra_labels+=("cycle-$OPTARG") ;;
        *) exit 2 ;;
    esac
done
quillmark_binary[quillmark]=$build/src/app/quillmark
labels=(quillmark "${extra_labels[@]}" cutecom gtkterm bare-qt)

# No program started here may reach a /dev/ttyS* device (ttyS0 can be the system console,
# and GTKTerm's default port is /dev/ttyS0): run in a mount namespace where each is /dev/null.
if [[ -z ${WINDOW_BENCH_MASKED:-} ]]; then
    tools/install-deps.sh xvfb cutecom gtkterm libxcb1-dev pkg-config xdotool dbus-daemon
    export WINDOW_BENCH_MASKED=1
    exec unshare -m --propagation private bash -c '
        for f in /dev/ttyS*; do
            [ -e "$f" ] || continue
            mount --bind /dev/null "$f" || exit 99
        done
        exec "$@"' mask bash "bench/${0##*/}" "$@"
fi

# Configured again so that the probe is found once libxcb's headers are installed.
cmake "$build" >/dev/null
cmake --build "$build" -j2 --target quillmark window_probe bare_qt_window >/dev/null
probe=$build/bench/window_probe

work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime  # fresh settings for all
mkdir -m 700 "$XDG_RUNTIME_DIR"
pty_link=$work/port
Xvfb -displayfd 5 -noreset -screen 0 1280x1024x24 -nolisten tcp 5>"$work/display" \
    >/dev/null 2>&1 &
xvfb=$!
# A session bus, as a desktop has: without one each Qt program's accessibility bridge starts
# dbus-launch to look for one, which a desktop never does, and times that instead.
read -r DBUS_SESSION_BUS_ADDRESS bus < <(dbus-daemon --session --fork --print-address=1 \
    --print-pid=1 | paste -sd' ')
export DBUS_SESSION_BUS_ADDRESS
trap 'kill "$xvfb" "$bus" 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$work/display")

# Every port number Quillmark offers is mapped: 1 to the loopback rig, the others to none.
sim_ports=(--port 1=sim)
for n in $(seq 2 16); do sim_ports+=(--port "$n=sim:absent"); done

# The command that starts a cycle in the window $WINDOW as a user would, from the keyboard
# (the tab order runs from the port box to the count, "Cycle", "loops" and "delay"): enough
# passes of the given pause for the turn, then Space on "Cycle". The probe runs it once the
# window has settled. (xdotool's type takes every word after it as text: one call each.)
start_cycle_command() {
    local pause_ms=$1 passes=$(((seconds * 1000 + $1 - 1) / $1 + 10))
    local key="xdotool key --delay 30" type="xdotool type --delay 30"
    echo "xdotool windowfocus --sync \$WINDOW && $key Tab Tab Tab Tab Tab ctrl+a &&" \
        "$type $passes && $key Tab ctrl+a && $type $pause_ms && $key shift+Tab shift+Tab space"
}

# Runs the probe on one program: probe_program MODE LABEL [PROBE OPTIONS...].
# CuteCom is given no port (it opens none until asked); GTKTerm is given a pseudo-terminal.
probe_program() {
    local mode=$1 label=$2
    shift 2
    case $label in
        cutecom) "$probe" "$mode" "$@" -- cutecom ;;
        gtkterm) "$probe" "$mode" "$@" --pty "$pty_link" -- gtkterm --port "$pty_link" ;;
        bare-qt) "$probe" "$mode" "$@" -- "$build/bench/bare_qt_window" ;;
        cycle-*) "$probe" "$mode" "$@" --then "$(start_cycle_command "$cycle_ms")" -- \
            "${quillmark_binary[quillmark]}" "${sim_ports[@]}" ;;
        *) "$probe" "$mode" "$@" -- "${quillmark_binary[$label]}" "${sim_ports[@]}" ;;
    esac
}

# The programs in a new random order, one a line, so that none always runs first.
shuffled_labels() {
    printf '%s\n' "${labels[@]}" | shuf
}

# The value of KEY in a probe's key=value line.
field() {
    tr ' ' '\n' <<<"$2" | sed -n "s/^$1=//p"
}

# Nearest-rank percentiles of the numbers in a file: "percentiles FILE 50 99 100".
percentiles() {
    local file=$1
    shift
    sort -g "$file" | awk -v wanted="$*" '
        { value[NR] = $1 }
        END {
            n = split(wanted, p, " ")
            for (i = 1; i <= n; ++i) {
                rank = int(p[i] / 100 * NR); if (rank < p[i] / 100 * NR) ++rank; if (rank < 1) rank = 1
                printf "%s%s", (i > 1 ? " " : ""), (NR ? value[rank] : "-")
            }
            print ""
        }'
}

load_average() {
    cut -d' ' -f1-3 /proc/loadavg
}
