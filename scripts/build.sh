#!/usr/bin/env bash
# Configures and builds Kestrove and its tests in $BUILD_DIR (default: build/).
# Arguments go to the configure step, e.g. -DKESTROVE_PORTAL_CAPTURE=OFF.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log" >&2
    echo "build: cmake configure failed" >&2
    exit 1
}
cmake --build "$build" -j2
