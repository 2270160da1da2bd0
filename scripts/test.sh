#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and end-to-end
# on private Xvfb servers), first in the sanitizer build with the fuzz
# targets (scripts/sanitize.sh), then in the main build. ctest's summary of
# the main build is the last thing printed; the status fails if either failed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
BUILD_DIR=$build "$root/scripts/build.sh"

sanitize_status=0
SANITIZE_BUILD_DIR=${SANITIZE_BUILD_DIR:-$build-sanitize} "$root/scripts/sanitize.sh" ||
    sanitize_status=$?
if ((sanitize_status != 0)); then
    echo "test: the sanitizer build or its tests FAILED (see above)" >&2
fi

cd "$build"
status=0
ctest --output-on-failure -j2 || status=$?
if ((status == 0 && sanitize_status != 0)); then
    status=$sanitize_status
fi
exit "$status"
