# shellcheck shell=bash disable=SC2154  # script_dir, cache and work are the caller's
# Sourced by the scripts that boot a test guest, once their options are read: the run's
# messages and verdicts (prefixed with $vm_name), its scratch and cache folders, and the
# archive and guest image helpers.
started_ns=$(date +%s%N)

elapsed() { awk -v ns=$(($(date +%s%N) - started_ns)) 'BEGIN { printf "%.1f", ns / 1e9 }'; }
say() { echo "$vm_name: $*"; }
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; say "run time $(elapsed) s"; exit 1; }

# Fails the run where one of the guest programs given is missing.
need_guest_programs() {
    local f
    for f in "$@"; do
        [[ -x $f ]] || fail "guest program $f is missing: build the targets in tests/vm"
    done
}

mkdir -p "$work" "$cache" || fail "cannot create $work or $cache"
APT_LOG=$work/apt.log
: >"$APT_LOG"
# shellcheck source-path=SCRIPTDIR
source "$script_dir/debian-archive.sh"
# shellcheck source-path=SCRIPTDIR
source "$script_dir/guest-image.sh"
