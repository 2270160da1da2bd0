#!/usr/bin/env bash
# Builds Kestrove and one benchmark in a Release build, then runs it: one
# command, figures on stdout.
# Usage: bench/run.sh [x11|compositor|sway|mutter|soak] [--seconds N] [--executable PATH]
#   x11 (the default): Kestrove against ffplay on Xvfb, at two source sizes
#   compositor: a still screen's cost under openbox + picom repainting the
#           whole screen, with and without Kestrove (Xorg with the dummy driver, as root)
#   sway:   on a headless sway against wf-recorder | ffplay (as root, sway runs
#           as an unprivileged user of its own)
#   mutter: on headless mutter through the screen-cast portal against
#           gst-launch-1.0 pipewiresrc, inside a private desktop session
#   soak:   ten minutes of monitor switches; memory, descriptors, refresh gaps
# The options go to the benchmark; --executable is the soak's alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTROVE_BENCH_BUILD:-$root/build-bench}"
which=x11
if (($#)) && [[ $1 != -* ]]; then
  which=$1
  shift
fi
case $which in
  x11) target=kestrove_bench tools=(Xvfb ffplay) ;;
  compositor) target=kestrove_compositor_bench tools=(Xorg openbox picom) ;;
  sway) target=kestrove_sway_bench tools=(sway Xwayland grim wf-recorder ffplay) ;;
  mutter) target=kestrove_mutter_bench tools=(mutter Xwayland pipewire wireplumber gst-launch-1.0) ;;
  soak) target=kestrove_soak tools=(Xvfb) ;;
  *)
    echo "usage: bench/run.sh [x11|compositor|sway|mutter|soak] [--seconds N] [--executable PATH]" >&2
    exit 2
    ;;
esac
missing=()
for tool in cmake "${tools[@]}"; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
  echo "bench/run.sh: $which needs ${missing[*]}; install the packages in scripts/deps/*.txt" \
       "(bash scripts/install-deps.sh)" >&2
  exit 1
fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
if ! cmake --build "$build" -j2 --target "$target" >"$build/bench-build.log" 2>&1; then
  tail -n 30 "$build/bench-build.log" >&2
  echo "bench/run.sh: the build of $target failed (whole log: $build/bench-build.log)" >&2
  exit 1
fi
if [[ $which == mutter ]]; then
  exec "$root/tests/portal/portal_chain.sh" \
    "$build/tests/portal/kestrove_grant_all_screencast_backend" grant \
    "$build/bench/$target" "$@"
fi
exec "$build/bench/$target" "$@"
