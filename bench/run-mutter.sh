#!/usr/bin/env bash
# Builds Kestrove and the headless mutter benchmark, then runs it inside a
# private desktop session (mutter, PipeWire, the portal): figures on stdout.
# Usage: bench/run-mutter.sh [--seconds N]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTROVE_BENCH_BUILD:-$root/build-bench}"
missing=()
for tool in mutter Xwayland pipewire wireplumber gst-launch-1.0 cmake; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "bench/run-mutter.sh: missing ${missing[*]}; install the packages in scripts/deps/*.txt" \
       "(bash scripts/install-deps.sh)" >&2
  exit 1
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target kestrove_mutter_bench kestrove_grant_all_screencast_backend >/dev/null
exec "$root/tests/portal/portal_chain.sh" "$build/tests/portal/kestrove_grant_all_screencast_backend" \
  grant "$build/bench/kestrove_mutter_bench" "$@"
