#!/usr/bin/env bash
# Builds Quillmark and runs every test twice: once plainly, once under AddressSanitizer and
# UndefinedBehaviorSanitizer, where any finding fails the run; then the tests that run the
# device's threads once more under ThreadSanitizer. Compiler warnings are errors,
# and the sources must keep the committed format. Between the two runs it packages the plain
# build and checks the package.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
# The Windows stage's compilers, Wine and NSIS; where they cannot be had, that stage skips.
tools/windows/install-deps.sh || echo "(the Windows build's tools could not be installed)"
jobs=$(nproc)

run_suite() {
    local dir=$1; shift
    cmake -G Ninja -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== Plain build and tests"
run_suite build

echo "== Format"
cmake --build build --target format-check

echo "== Debian package of the plain build, and its checks"
rm -f build/quillmark_*.deb
tools/package.sh build
tools/check-package.sh build/quillmark_*.deb

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
run_suite build-asan -DQUILLMARK_SANITIZE=ON

# Only the tests whose devices run worker and waiter threads, or lose their device: the
# rest run on one thread and would only lengthen the stage.
echo "== ThreadSanitizer build of the threaded tests"
threaded_tests=(test_system_device test_system_line_events test_system_modem_waiter
                test_system_serial_device test_serial_port_control test_simulated_port
                test_wiring_over_pty)
# die_after_fork=0: a test's helper process forks and then opens a device, which starts threads.
export TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$PWD/tools/tsan.supp"
cmake -G Ninja -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMARK_WERROR=ON \
    -DQUILLMARK_THREAD_SANITIZE=ON -DQUILLMARK_VM_TESTS=OFF -DQUILLMARK_BUILD_BENCHMARKS=OFF \
    >/dev/null
cmake --build build-tsan -j "$jobs" --target "${threaded_tests[@]}"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" \
    -R "^($(IFS='|'; echo "${threaded_tests[*]}"))\$"

echo "== Windows: cross-built, tested under Wine, installer (skipped where it cannot run)"
status=0
tools/windows/test-wine.sh || status=$?
if ((status == 77)); then
    echo "(Windows tests skipped)"
elif ((status != 0)); then
    exit "$status"
fi
