#!/usr/bin/env bash
# release_root.sh <suite> <source dir> <build dir> <monitor fixture> <product version>
# Kestrove on another Debian release, as its users would build it there: in
# a root of <suite> with the packages that scripts/deps lists for that
# release (scripts/debian-root.sh makes it once and keeps it), the program
# and its tests are built from this clone into <build dir>, the unit, X11 and
# end-to-end tests run on Xvfb, and the Debian package is made; that package
# is then installed with apt on a clean root of the same release and started
# there (clean_root.sh). Exits with 77 when there is no such root yet and the
# archive cannot be reached.
set -euo pipefail
suite=$1
source=$(realpath "$2")
mkdir -p "$3"
build=$(realpath "$3")
fixture=$4
version=$5
here=$(dirname "${BASH_SOURCE[0]}")

# shellcheck source=scripts/helpers.sh
. "$here/../../scripts/helpers.sh"
script_name="$suite root"

# shellcheck source=scripts/debian-root.sh
. "$here/../../scripts/debian-root.sh"
# What the build, the program and its tests need there; dpkg-dev and file
# for the package's dependencies, ccache so that a later run (of any clone)
# compiles only what changed.
mapfile -t packages < <(KESTROVE_DEPS_SUITE=$suite "$source/scripts/install-deps.sh" --print build run test)
root=$(debian_root "$suite" "${packages[@]}" dpkg-dev file ccache) || exit
echo "$suite root: $root ($(chroot "$root" g++ --version | head -n1))"

# The X servers' socket folder, made as they make it, before Xvfb runs there.
[[ -d /tmp/.X11-unix ]] || mkdir -m 1777 /tmp/.X11-unix
export KESTROVE_ROOT_BINDS="$source $build"
in_root() { (in_debian_root "$root" env -i PATH=/usr/bin:/bin HOME=/root LANG=C.UTF-8 "$@"); }

# The targets of the program, its package and the tests that need neither a
# compositor, nor Wine, nor a desktop session (the package is made from
# these alone: cpack's install builds nothing more).
targets=(Kestrove kestrove_install_files kestrove_monitor_fixture kestrove_unit_tests
    kestrove_x11_unit_tests kestrove_e2e_tests)
build_args=()
for target in "${targets[@]}"; do build_args+=(--target "$target"); done
echo "building ${targets[*]}"
# shellcheck disable=SC2016 # expanded by the shell in the root
in_root env CCACHE_DIR=/var/cache/ccache CCACHE_BASEDIR="$source" sh -c '
    source=$1 build=$2
    shift 2
    cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVE_BUILD_TESTS=ON \
        -DKESTROVE_WINDOWS_BUILD=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
        -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
        >"$build/configure.log" 2>&1 || {
        cat "$build/configure.log"
        exit 1
    }
    cmake --build "$build" -j2 "$@" >"$build/build.log" 2>&1 || {
        grep -E -B2 -A12 "error" "$build/build.log" | head -n 120
        exit 1
    }' sh "$source" "$build" "${build_args[@]}" || fail "the build failed"
echo "built: $(grep -c 'warning:' "$build/build.log" || true) warnings"
if grep -q 'warning:' "$build/build.log"; then
    grep -A5 'warning:' "$build/build.log" | head -n 60
    fail "the build warns"
fi

status=0
echo "unit tests"
in_root "$build/tests/unit/kestrove_unit_tests" --gtest_brief=1 || status=1
echo "X11 and end-to-end tests"
in_root ctest --test-dir "$build" -j2 --output-on-failure -R '^(x11|e2e)\.' || status=1
((status == 0)) || fail "tests failed"

echo "the package"
deb=$(sed -n 's/^KESTROVE_DEB:INTERNAL=//p' "$build/CMakeCache.txt")
in_root "$source/tests/packaging/make_deb.sh" "$build" "$deb" >"$build/make_deb.log" 2>&1 || {
    cat "$build/make_deb.log"
    fail "the package was not made as it should be"
}
echo "package: $(basename "$deb")"
"$here/clean_root.sh" "$deb" "$fixture" "$version" "$suite"
