#!/usr/bin/env bash
# Builds Kestrove and the benchmark, then runs it: one command, figures on stdout.
# Usage: bench/run.sh [--seconds N]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTROVE_BENCH_BUILD:-$root/build-bench}"
missing=()
for tool in Xvfb ffplay cmake; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "bench/run.sh: missing ${missing[*]}; install the packages in scripts/deps/*.txt" \
       "(bash scripts/install-deps.sh)" >&2
  exit 1
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target kestrove_bench >/dev/null
exec "$build/bench/kestrove_bench" "$@"
