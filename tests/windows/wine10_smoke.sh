#!/usr/bin/env bash
# wine10_smoke.sh <Magnification.dll> <driver.exe> <Kestrove.exe>
#                 <kestrove_wine_screen> <kestrove_monitor_fixture>
# The Wine smoke runs (wine_smoke.sh: one monitor with the stand-in, and
# Wine's own Magnification API) under the Wine of Debian 13 (Wine 10),
# from a Debian 13 root made and cached by scripts/debian-root.sh; the X
# server and the X clients run on this machine. Wine 10 names its adapter
# differently and has a Magnification.dll of stubs: this machine's Wine
# cannot show either. Skips (77) when the root must be made and the archive
# cannot be reached.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
standin=$1
shift

# shellcheck source=scripts/debian-root.sh
source "$here/../../scripts/debian-root.sh"
# The X libraries that Wine's X11 driver loads are only recommended; xvfb and
# xdotool let packaging's installer test run inside the root as well.
root=$(debian_root trixie wine wine64 fonts-wine libxcursor1 libxcomposite1 libxinerama1 \
    libxxf86vm1 libxrandr2 libxrender1 libxfixes3 libxi6 xvfb xdotool) || exit
export KESTROVE_WINE_ROOT=$root

# The root shares only /tmp with this machine: the prefix lives there.
work=$(mktemp -d /tmp/kestrove-wine10.XXXXXX)
trap '"$here/wine_prefix.sh" cleanup "$work/prefix"; rm -rf "$work"' EXIT
"$here/wine_prefix.sh" setup "$work/prefix" "$standin" || exit 1

# Not two monitors: Wine 10 reports the second Xinerama monitor with the
# first one's rectangle (its work area alone lies at the negative x), for
# every program.
status=0
for run in "one standin" "one none"; do
    echo "== Wine 10: $run"
    # shellcheck disable=SC2086 # the layout and the mode, split on purpose
    "$here/wine_smoke.sh" "$work/prefix" "$@" $run || status=1
done
exit $status
