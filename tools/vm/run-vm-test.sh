#!/usr/bin/env bash
# Runs the tester's end-to-end tests in a QEMU guest whose initramfs holds the freshly built
# guest programs: on Linux's 8250/16550 driver (the guest's ttyS1), and on the test rig's tty
# (ttyRIG0), a module built here for the guest's kernel whose far end the guest test drives.
# The host's own serial ports are never opened, and the module is loaded in the guest only.
#
# Exit status: 0 pass, 1 fail, 77 when QEMU, the kernel image or its headers cannot be had.
#
# Layout of the guest's serial lines:
#   ttyS0  console -> this script's stdout, watched for the guest's markers
#   ttyS1  the UART under test -> a FIFO pair, multiplexed with the QEMU monitor so that the
#          mux's escape (Ctrl-A b) can send a break into it from here
set -uo pipefail

usage() {
    cat <<EOF
usage: $0 --guest-test FILE --guest-rig-test FILE --helper FILE --rig-source DIR
          --program FILE --cache DIR --work DIR [--timeout SECONDS]
  --guest-test      the end-to-end test program for the guest's 8250 UART
  --guest-rig-test  the end-to-end test program for the rig's tty
  --helper          the guest helper (loopback switch, rig checks, debug exit)
  --rig-source      the rig module's sources
  --program         the quillmark program, for its headless check in the guest
  --cache           where the kernel image and its headers are kept between runs
  --work            scratch directory for the initramfs, the module and the FIFOs
Environment: QUILLMARK_VM_KERNEL=FILE uses that kernel image instead of Debian's.
EOF
    exit 2
}

guest_test='' guest_rig_test='' helper='' rig_source='' cache='' work='' timeout_s=180
quillmark=''
while (($#)); do
    case $1 in
        --guest-test) guest_test=$2; shift 2 ;;
        --guest-rig-test) guest_rig_test=$2; shift 2 ;;
        --helper) helper=$2; shift 2 ;;
        --rig-source) rig_source=$2; shift 2 ;;
        --program) quillmark=$2; shift 2 ;;
        --cache) cache=$2; shift 2 ;;
        --work) work=$2; shift 2 ;;
        --timeout) timeout_s=$2; shift 2 ;;
        *) usage ;;
    esac
done
[[ -n $guest_test && -n $guest_rig_test && -n $helper && -n $rig_source && -n $cache &&
    -n $work && -n $quillmark ]] || usage
guest_test=$(realpath -m "$guest_test") guest_rig_test=$(realpath -m "$guest_rig_test")
helper=$(realpath -m "$helper") cache=$(realpath -m "$cache") work=$(realpath -m "$work")
quillmark=$(realpath -m "$quillmark")

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
vm_name=vm
# shellcheck source-path=SCRIPTDIR
source "$script_dir/vm-run.sh"
need_guest_programs "$guest_test" "$guest_rig_test" "$helper" "$quillmark"
need_guest_tools xmllint=libxml2-utils
for tool in xmllint python3; do
    command -v $tool >/dev/null || fail "$tool is needed to check the headless check's reports"
done

# ---- kernel ------------------------------------------------------------------------------

if [[ -n ${QUILLMARK_VM_KERNEL:-} ]]; then
    [[ -r $QUILLMARK_VM_KERNEL ]] || skip "QUILLMARK_VM_KERNEL=$QUILLMARK_VM_KERNEL is not readable"
    kernel=$QUILLMARK_VM_KERNEL
else
    kernel=$(kernel_image linux-image-cloud-amd64 "$cache/kernel") ||
        skip "cannot fetch linux-image-cloud-amd64's kernel image (see $APT_LOG)"
fi
say "kernel $(basename "$kernel")"

# ---- rig module --------------------------------------------------------------------------

rig_module=$work/rig-module/quillmark_rig.ko
bash "$script_dir/build-rig-module.sh" --kernel "$kernel" --source "$rig_source" \
    --cache "$cache" --out "$work/rig-module"
case $? in
    0) say "rig module ready at $(elapsed) s" ;;
    77) exit 77 ;;
    *) fail "cannot build the rig module" ;;
esac

# ---- initramfs ---------------------------------------------------------------------------

root=$work/initramfs
new_guest_root
# The program itself (/quillmark/quillmark), for the headless check's phases.
add_guest_programs "$guest_test" "$guest_rig_test" "$helper" "$quillmark"
cp "$rig_module" "$root/quillmark/"
add_qt_offscreen "$guest_test"
initramfs=$work/initramfs.cpio.gz
pack_guest_root "$script_dir/guest-init.sh" "$initramfs"
say "initramfs $(($(stat -c %s "$initramfs") / 1024 / 1024)) MB, built at $(elapsed) s"

# ---- the headless check's reports -----------------------------------------------------------

# Takes the reports the guest printed between its markers and checks them: each JUnit file
# against tests/vm/junit.xsd, each JSON file against the fields the manual page lists (none
# missing, none undocumented), and the adapter's fields among the JUnit properties too.
check_reports() {
    local dir=$work/reports name bad=0
    rm -rf "$dir" && mkdir -p "$dir"
    awk -v dir="$dir" '/^REPORT-BEGIN / { file = dir "/" $2; next }
        /^REPORT-END/ { file = ""; next }
        file { print > file }' "$console_log"
    for name in pass miswired; do
        if [[ ! -s $dir/$name.json || ! -s $dir/$name.xml ]]; then
            echo "host| FAIL: the guest printed no reports of the check \"$name\""
            bad=1
            continue
        fi
        xmllint --noout --schema "$script_dir/../../tests/vm/junit.xsd" "$dir/$name.xml" 2>&1 |
            sed 's/^/host| /'
        ((PIPESTATUS[0] == 0)) || bad=1
        python3 - "$script_dir/../../data/quillmark.1.in" "$dir/$name" <<'EOF' | sed 's/^/host| /'
import json, re, sys
import xml.etree.ElementTree as ET
manual, report = sys.argv[1:]
section = open(manual).read().split(".SH CHECK REPORTS", 1)[1].split("\n.SH ", 1)[0]
fields = re.findall(r"^\.TP\n\.B (\S+)$", section, re.M)
pattern = {f: re.compile(re.escape(f).replace(r"\*", r"[^.]+") + "$") for f in fields}
def leaves(value, path):
    if isinstance(value, dict):
        for key, inner in value.items():
            yield from leaves(inner, f"{path}.{key}" if path else key)
    elif isinstance(value, list):
        for inner in value:
            yield from leaves(inner, path + "[]")
    else:
        yield path
seen = set(leaves(json.load(open(report + ".json")), ""))
properties = {p.get("name") for p in ET.parse(report + ".xml").iter("property")}
wrong = [f"{p}: not in the manual page" for p in sorted(seen)
         if not any(r.match(p) for r in pattern.values())]
wrong += [f"{f}: in the manual page, not in the JSON" for f, r in pattern.items()
          if not any(r.match(p) for p in seen)]
wrong += [f"{f}: not among the JUnit properties" for f in fields
          if f.startswith("adapter.") and f not in properties]
print(f"{'FAIL' if wrong or not fields else 'PASS'}: {report}.json: {len(seen)} fields, "
      f"{len(fields)} in the manual page" + "".join("\n  " + w for w in wrong))
sys.exit(1 if wrong or not fields else 0)
EOF
        ((PIPESTATUS[0] == 0)) || bad=1
    done
    return $bad
}

# ---- boot --------------------------------------------------------------------------------

uart=$work/ttyS1
rm -f "$uart.in" "$uart.out"
mkfifo "$uart.in" "$uart.out" || fail "cannot create the FIFOs for ttyS1"
# What the guest sends on ttyS1 (the wiring check's text when there is no loopback) and the
# monitor's chatter; drained so that the FIFO never fills.
cat "$uart.out" >"$work/ttyS1-host-side.log" &
drain_pid=$!

# Sends a break into ttyS1 through the mux's escape.
send_break() { printf '\001b' >"$uart.in"; }

# CPU time QEMU's threads have had and have waited for, in ns: the guest's one CPU is a
# host thread, and timings measured inside the guest grow with the host's load.
qemu_cpu_ns() {
    local pid
    pid=$(pgrep -f -- "^qemu-system-x86_64 .*$initramfs" | head -n 1)
    [[ -n $pid ]] && awk '{ ran += $1; waited += $2 } END { print ran, waited }' \
        /proc/"$pid"/task/*/schedstat 2>/dev/null
}

host_cpu_since() {
    local now
    now=$(qemu_cpu_ns) || return
    awk -v a="$1" -v b="$now" -v load="$(cut -d" " -f1 /proc/loadavg)" 'BEGIN {
        split(a, x); split(b, y)
        printf "QEMU ran %.1f s and waited %.1f s for a host CPU (host load %s)",
            (y[1] - x[1]) / 1e9, (y[2] - x[2]) / 1e9, load }'
}

# shellcheck disable=SC2054  # commas belong to the QEMU options
qemu=(qemu-system-x86_64 -accel tcg -M pc -m 512 -nodefaults -display none -no-reboot
    -kernel "$kernel" -initrd "$initramfs"
    -append "console=ttyS0 quiet panic=-1 quillmark_vm=1"
    -chardev stdio,id=console,signal=off -serial chardev:console
    -chardev "pipe,id=uart,path=$uart,mux=on" -serial chardev:uart
    -mon chardev=uart,mode=readline
    -device isa-debug-exit,iobase=0xf4,iosize=0x04)

say "booting the guest"
boot_ns=$(date +%s%N)
status='' cpu_mark=''
console_log=$work/console.log
: >"$console_log"
while IFS= read -r line; do
    line=${line%$'\r'}
    if [[ $line == QEMU-EXIT* ]]; then
        status=${line#QEMU-EXIT }
        continue
    fi
    echo "guest| $line"
    printf '%s\n' "$line" >>"$console_log"
    case $line in
        READY-FOR-BREAK*)
            send_break
            echo "host| break sent into ttyS1" ;;
        "MEASURING-LATENCY begin") cpu_mark=$(qemu_cpu_ns) ;;
        "MEASURING-LATENCY end")
            echo "host| while the guest measured latency: $(host_cpu_since "$cpu_mark")" ;;
    esac
done < <(timeout "$timeout_s" "${qemu[@]}" </dev/null 2>&1; echo "QEMU-EXIT $?")
# QEMU's exit ends the drain; a QEMU that never opened the FIFO leaves it waiting.
for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$drain_pid" 2>/dev/null || break
    sleep 0.2
done
kill "$drain_pid" 2>/dev/null
wait "$drain_pid" 2>/dev/null

# The wiring check's text must have left the UART on the wire while the loopback was off.
sent=$(grep -o Loopback "$work/ttyS1-host-side.log" | wc -l)
if ((sent > 0)); then
    echo "host| PASS: the wiring check's \"Loopback\" reached the host end of ttyS1 ($sent times)"
else
    echo "host| FAIL: the wiring check's \"Loopback\" never reached the host end of ttyS1"
fi

check_reports
reports=$?

guest_ms=$(( ($(date +%s%N) - boot_ns) / 1000000 ))
say "guest ran ${guest_ms} ms; whole run $(elapsed) s"
# The debug-exit device ends QEMU with (value << 1) | 1: 16 (pass) gives 33, 17 (fail) 35.
case $status in
    33) ((sent > 0)) || { echo "FAIL: nothing was sent on ttyS1's wire"; exit 1; }
        ((reports == 0)) || { echo "FAIL: the headless check's reports are not valid"; exit 1; }
        echo "PASS: the tester passed on the guest's 8250/16550 driver and the rig's tty"; exit 0 ;;
    35) echo "FAIL: the tester failed in the guest"; exit 1 ;;
    124) echo "FAIL: the guest did not finish within $timeout_s s"; exit 1 ;;
    *) echo "FAIL: the guest ended without a verdict (QEMU exit status $status)"; exit 1 ;;
esac
