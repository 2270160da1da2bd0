#!/usr/bin/env bash
# Builds Kestrove and the headless sway benchmark, then runs it (as root it
# runs sway as an unprivileged user of its own): figures on stdout.
# Usage: bench/run-sway.sh [--seconds N]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTROVE_BENCH_BUILD:-$root/build-bench}"
missing=()
for tool in sway Xwayland grim wf-recorder ffplay cmake; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "bench/run-sway.sh: missing ${missing[*]}; install the packages in scripts/deps/*.txt" \
       "(bash scripts/install-deps.sh)" >&2
  exit 1
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target kestrove_sway_bench >/dev/null
exec "$build/bench/kestrove_sway_bench" "$@"
