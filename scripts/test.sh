#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and end-to-end
# on private Xvfb servers), first in the sanitizer build with the fuzz
# targets (scripts/sanitize.sh), then in the main build. Between them, the
# X11 program without the compositor routes is built and its libraries
# checked (scripts/check-x11-only.sh). ctest's summary of the main build is
# the last thing printed; the status fails if any of them failed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
BUILD_DIR=$build "$root/scripts/build.sh" -DKESTROVE_BUILD_TESTS=ON -DKESTROVE_WINDOWS_BUILD=ON

sanitize_status=0
SANITIZE_BUILD_DIR=${SANITIZE_BUILD_DIR:-$build-sanitize} "$root/scripts/sanitize.sh" ||
    sanitize_status=$?
if ((sanitize_status != 0)); then
    echo "test: the sanitizer build or its tests FAILED (see above)" >&2
fi

x11_only_status=0
X11_ONLY_BUILD_DIR=${X11_ONLY_BUILD_DIR:-$build-x11-only} "$root/scripts/check-x11-only.sh" ||
    x11_only_status=$?
if ((x11_only_status != 0)); then
    echo "test: the X11-only build FAILED (see above)" >&2
fi

cd "$build"
status=0
ctest --output-on-failure -j2 || status=$?
for other in "$sanitize_status" "$x11_only_status"; do
    if ((status == 0 && other != 0)); then
        status=$other
    fi
done
exit "$status"
