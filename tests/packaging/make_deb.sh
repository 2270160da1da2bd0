#!/usr/bin/env bash
# make_deb.sh <build dir> <expected .deb>
# Makes the Debian package with CPack and checks its control fields: the
# dependencies come from dpkg-shlibdeps, the Japanese font is recommended.
set -euo pipefail
build=$1
deb=$2

rm -f "$deb"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
    cat "$build/cpack.log"
    echo "cpack -G DEB failed"
    exit 1
}
[[ -f $deb ]] || { echo "cpack made no $deb"; cat "$build/cpack.log"; exit 1; }
dpkg-deb --info "$deb"

field() { dpkg-deb --field "$deb" "$1"; }
failed=0
# Libraries the executable links, by the package names shlibs files give.
for library in libc6 libstdc++6 libx11-6 libxrandr2 libxrender1 libxfixes3 libxdamage1 \
    libxft2 libfontconfig1 libxi6; do
    if ! field Depends | tr ',' '\n' | awk '{ print $1 }' | grep -qxF "$library"; then
        echo "Depends lacks $library"
        failed=1
    fi
done
[[ $(field Recommends) == fonts-noto-cjk ]] || { echo "Recommends is '$(field Recommends)'"; failed=1; }
[[ $(field Package) == kestrove ]] || { echo "Package is '$(field Package)'"; failed=1; }
# The version and the changelog name the release the package was built for.
# shellcheck source=/dev/null
release=$(. /etc/os-release && echo "${VERSION_ID:-} ${VERSION_CODENAME:-}")
version=$(field Version)
[[ $version == *"~deb${release%% *}" ]] || { echo "Version $version is not for Debian ${release%% *}"; failed=1; }
entry=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/kestrove/changelog.gz | gzip -dc | head -n1)
[[ $entry == "kestrove ($version) ${release#* }; urgency=medium" ]] ||
    { echo "the changelog begins '$entry', not with $version for ${release#* }"; failed=1; }
exit $failed
