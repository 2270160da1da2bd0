#!/usr/bin/env bash
# Installs what is missing, builds, and runs Kestrove on this X display:
# only the packages and the build that running needs.
# Without a reachable display it says so and offers the demonstration on a
# virtual display instead (scripts/demo.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

# What building and running need, and the program alone: a new build folder
# leaves the tests out (the test command turns them on).
"$root/scripts/install-deps.sh" build run
configure=()
[[ -f $build/CMakeCache.txt ]] || configure=(-DKESTROVE_BUILD_TESTS=OFF)
BUILD_DIR=$build "$root/scripts/build.sh" --target Kestrove "${configure[@]}"

if [[ -n "${DISPLAY:-}" ]] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    exec "$build/Kestrove"
fi

echo "No X display is reachable (DISPLAY='${DISPLAY:-}'), so Kestrove cannot show its window here."
if [[ -t 0 ]]; then
    read -r -p "Run the demonstration on a virtual display instead (screenshots as PNG)? [Y/n] " answer
    if [[ "$answer" =~ ^[Nn] ]]; then
        exit 1
    fi
else
    echo "Running the demonstration on a virtual display instead (scripts/demo.sh)."
fi
BUILD_DIR=$build exec "$root/scripts/demo.sh"
