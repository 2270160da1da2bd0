#!/usr/bin/env bash
# Installs the Debian packages that building, testing, running and the
# demonstration need (the union of scripts/deps/*.txt), only those missing.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

mapfile -t wanted < <(sed 's/#.*//' "$root"/scripts/deps/*.txt | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
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
