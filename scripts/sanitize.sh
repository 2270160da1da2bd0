#!/usr/bin/env bash
# A second build, with clang, AddressSanitizer and UndefinedBehaviorSanitizer,
# in $SANITIZE_BUILD_DIR (default: build-sanitize/): the unit and end-to-end
# tests run in it, and each fuzz target for a bounded time. The Windows cross
# build is left out; the main build checks it. Every sanitizer report, also
# one from a Kestrove that a test ended, is written to a file: any such file
# fails the run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${SANITIZE_BUILD_DIR:-$root/build-sanitize}
reports=$build/sanitizer-reports

# The symbolizer of this clang's version: LeakSanitizer's suppressions match
# symbolized frames only, so without it every library leak is reported.
symbolizer=$(clang -print-prog-name=llvm-symbolizer)
[[ -x $symbolizer ]] || {
    echo "sanitize: $(clang --version | head -n1) has no llvm-symbolizer (the package llvm, scripts/deps/sanitize.txt)" >&2
    exit 1
}

mkdir -p "$build"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTROVE_SANITIZE=ON -DKESTROVE_FUZZ=ON -DKESTROVE_WINDOWS_BUILD=OFF \
    >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log" >&2
    echo "sanitize: cmake configure failed" >&2
    exit 1
}
cmake --build "$build" -j2

rm -rf "$reports"
mkdir -p "$reports"
# Full stacks for every allocation, so a leak inside a library is told from
# one of ours by the suppression file.
export ASAN_OPTIONS="log_path=$reports/asan:external_symbolizer_path=$symbolizer:detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:external_symbolizer_path=$symbolizer:halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize/lsan.supp:print_suppressions=0"
status=0
# The tests labelled debian13 (another release's desktops, its build and
# packages) run once, in the main build: each takes minutes, and the portal
# code they exercise runs here under GNOME 43 and the stand-ins.
(cd "$build" && ctest --output-on-failure -j2 -LE debian13) || status=$?

if compgen -G "$reports/*" >/dev/null; then
    for report in "$reports"/*; do
        echo "==== $report" >&2
        cat "$report" >&2
    done
    echo "sanitize: the sanitizers reported the faults above" >&2
    status=1
fi
exit "$status"
