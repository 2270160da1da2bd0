#!/usr/bin/env bash
# windows_zip.sh <zip> <Kestrove.exe>
# The zip holds, in one folder, the built Kestrove.exe unchanged and a README
# in Japanese and English that Windows editors read as UTF-8.
set -uo pipefail
zip=$1
exe=$2
[[ -f $zip ]] || { echo "no zip at $zip"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip") || { echo "cannot unpack $zip"; exit 1; }

# shellcheck source=scripts/helpers.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
failed=0
folder=$(basename "$zip" .zip)
listing=$(cd "$work" && find . -type f | sort)
[[ $listing == "./$folder/Kestrove.exe
./$folder/README.txt" ]] || finding "the zip holds:
$listing"
cmp -s "$exe" "$work/$folder/Kestrove.exe" || finding "Kestrove.exe differs from the build's"
readme=$work/$folder/README.txt
[[ $(head -c3 "$readme" | od -An -tx1 | tr -d ' ') == efbbbf ]] || finding "README.txt has no UTF-8 byte order mark"
iconv -f UTF-8 -t UTF-8 "$readme" >/dev/null 2>&1 || finding "README.txt is not UTF-8"
[[ $(grep -c $'\r$' "$readme") == $(wc -l <"$readme") ]] || finding "README.txt has lines without CR LF"
grep -q '\[日本語\]' "$readme" || finding "README.txt has no Japanese part"
grep -q '\[English\]' "$readme" || finding "README.txt has no English part"
! grep -q '@' "$readme" || finding "README.txt has an unreplaced @VARIABLE@"
((failed == 0)) && echo "$(basename "$zip"): Kestrove.exe and README.txt"
exit $failed
