#!/usr/bin/env bash
# install-deps.sh [--print] [AREA...]
# Installs the Debian packages of the named areas (scripts/deps/AREA.txt),
# only those missing; with no area, all of them: building, testing, the
# demonstration, the benchmarks and the packages. `bash scripts/run.sh` names
# only what building and running need, the test command none.
#
# A line of a list names packages for every release; a line that starts with
# a release's code name and a colon ("trixie: llvm-19") only for that one.
# This is the one place where the releases' package names are told apart.
# The release is this machine's, or $KESTROVE_DEPS_SUITE's; --print writes
# the packages one a line instead of installing them (for a Debian root of
# another release).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

print=0
if [[ ${1:-} == --print ]]; then
    print=1
    shift
fi
# shellcheck source=/dev/null
suite=${KESTROVE_DEPS_SUITE:-$(. /etc/os-release && echo "${VERSION_CODENAME:-}")}

lists=()
if (($# == 0)); then
    lists=("$root"/scripts/deps/*.txt)
fi
for area in "$@"; do
    [[ -f $root/scripts/deps/$area.txt ]] || {
        echo "install-deps: no list scripts/deps/$area.txt" >&2
        exit 1
    }
    lists+=("$root/scripts/deps/$area.txt")
done

# Comments and other releases' lines dropped, this release's prefix removed.
mapfile -t wanted < <(sed -e 's/#.*//' "${lists[@]}" |
    awk -v suite="$suite" '
        /^[[:space:]]*[a-z]+:/ {
            sub(/^[[:space:]]*/, "")
            if (substr($0, 1, index($0, ":") - 1) != suite) next
            sub(/^[a-z]+:/, "")
        }
        { print }' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
if ((print)); then
    printf '%s\n' "${wanted[@]}"
    exit 0
fi

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if (($(id -u) != 0)); then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
export DEBIAN_FRONTEND=noninteractive
if ! { "${sudo[@]}" apt-get update -qq &&
       "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps: apt-get failed (see above)" >&2
    exit 1
fi
