#!/usr/bin/env bash
# build.sh [--target TARGET]... [CONFIGURE ARGUMENT]...
# Configures and builds Kestrove in $BUILD_DIR (default: build/): every
# target of the configuration, or only those named. The other arguments go
# to the configure step, e.g. -DKESTROVE_PORTAL_CAPTURE=OFF; a build folder
# keeps what it was configured with before.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

targets=()
while [[ ${1:-} == --target ]]; do
    targets+=(--target "$2")
    shift 2
done

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log" >&2
    echo "build: cmake configure failed" >&2
    exit 1
}
cmake --build "$build" -j2 "${targets[@]}"
