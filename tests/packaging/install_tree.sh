#!/usr/bin/env bash
# install_tree.sh <build dir> <scratch dir>
# `cmake --install` into a scratch prefix: every file where a desktop looks
# for it, the icon images at the sizes their folders name, the manual page
# readable, the stripped program still carrying its version block.
set -uo pipefail
build=$1
prefix=$2/usr
rm -rf "$2"
cmake --install "$build" --prefix "$prefix" --strip >"$2.log" 2>&1 || {
    cat "$2.log"
    echo "cmake --install failed"
    exit 1
}

# shellcheck source=scripts/helpers.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/helpers.sh"
failed=0
for file in bin/kestrove share/applications/org.kestrove.Kestrove.desktop \
    share/metainfo/org.kestrove.Kestrove.metainfo.xml share/man/man1/kestrove.1.gz \
    share/doc/kestrove/copyright share/doc/kestrove/changelog.gz; do
    [[ -f $prefix/$file ]] || finding "missing $file"
done
[[ -x $prefix/bin/kestrove ]] || finding "bin/kestrove is not executable"

sizes=0
for png in "$prefix"/share/icons/hicolor/*/apps/kestrove.png; do
    [[ -f $png ]] || break
    folder=$(basename "$(dirname "$(dirname "$png")")")
    # ImageMagick 6 names the channels "srgba", 7 adds their count: "srgba 4.0".
    got=$(identify -format '%wx%h %[channels]' "$png" 2>&1)
    [[ ${got%% [0-9]*.[0-9]*} == "$folder srgba" ]] || finding "$png: $got, not $folder with alpha"
    sizes=$((sizes + 1))
done
((sizes >= 4)) || finding "only $sizes icon sizes in share/icons/hicolor"

# The manual page as man renders it, without a formatter warning.
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/kestrove.1.gz" 2>&1 >/dev/null)
[[ -z $warnings ]] || finding "man page warnings: $warnings"
for section in KEYS OUTPUT "Ctrl+1" "rcMonitor top=" "Flag = 1"; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$prefix/share/man/man1/kestrove.1.gz" 2>/dev/null |
        grep -qF "$section" || finding "man page lacks '$section'"
done

sections=$(readelf -S --wide "$prefix/bin/kestrove")
! grep -q '\.symtab' <<<"$sections" || finding "bin/kestrove still has its symbol table"
grep -q '\.kestrove_version' <<<"$sections" || finding "bin/kestrove lost its version section to strip"

((failed == 0)) && echo "install tree complete: $(find "$prefix" -type f | wc -l) files"
exit $failed
