#!/usr/bin/env bash
# Builds the X11 program alone, as a distribution may want it, in
# $X11_ONLY_BUILD_DIR (default: build-x11-only/): no compositor capture route,
# no tests, no Windows program. It must link no Wayland, PipeWire or systemd
# library itself, and no Wayland or PipeWire library through another one
# (libsystemd does come in under atk-bridge, through Debian's libdbus). Build
# only: the main build runs the tests.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${X11_ONLY_BUILD_DIR:-$root/build-x11-only}

mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVE_BUILD_TESTS=OFF \
    -DKESTROVE_WLROOTS_CAPTURE=OFF -DKESTROVE_PORTAL_CAPTURE=OFF -DKESTROVE_WINDOWS_BUILD=OFF \
    >"$build/configure.log" 2>&1 || {
    cat "$build/configure.log" >&2
    echo "x11-only: cmake configure failed" >&2
    exit 1
}
cmake --build "$build" --target Kestrove -j2

if linked=$({ readelf -d "$build/Kestrove" | grep -E 'NEEDED.*lib(wayland|pipewire|systemd)'; } ||
            { ldd "$build/Kestrove" | grep -E 'lib(wayland|pipewire)'; }); then
    echo "x11-only: Kestrove without the compositor routes still links:" >&2
    echo "$linked" >&2
    exit 1
fi
echo "x11-only: Kestrove links no Wayland, PipeWire or systemd library itself, nor Wayland or PipeWire through another"
