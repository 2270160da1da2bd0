#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (unit and end-to-end
# on private Xvfb servers). ctest's summary is the last thing printed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
BUILD_DIR=$build "$root/scripts/build.sh"
cd "$build"
exec ctest --output-on-failure -j2
