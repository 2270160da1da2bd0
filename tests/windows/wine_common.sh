# Shared by the Wine test scripts (sourced): the test prefix's environment.

# wine_use_prefix <prefix>: runs under <prefix>, which the setup test made.
wine_use_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all
    if [[ ! -d $WINEPREFIX/drive_c ]]; then
        echo "no Wine prefix at $WINEPREFIX (the test windows.wine_prefix failed)"
        exit 1
    fi
}

# Runs a command with Debian's note about the missing 32-bit Wine taken out
# of its standard error: Kestrove and its tests are 64-bit only.
without_wine32_note() {
    "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' \
        -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
}

# wine_command <command> [arguments...]: runs a Wine command (wine, wineboot,
# wineserver, winepath, optionally behind timeout) with this machine's Wine,
# or with the Wine of the Debian root that KESTROVE_WINE_ROOT names
# (scripts/debian-root.sh), which shares only /tmp with this machine: the
# prefix and the programs must then lie in /tmp.
wine_command() {
    if [[ -n ${KESTROVE_WINE_ROOT:-} ]]; then
        (
            # shellcheck source=scripts/debian-root.sh
            source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/debian-root.sh"
            in_debian_root "$KESTROVE_WINE_ROOT" "$@"
        )
    else
        "$@"
    fi
}

# The name Wine gives its display adapter: "Wine Adapter" up to Wine 8,
# "Wine GPU" from Wine 9 on (Debian 13 has Wine 10).
wine_adapter_name() {
    local version major
    version=$(wine_command wine --version 2>/dev/null)
    major=${version#wine-}
    major=${major%%.*}
    if [[ $major =~ ^[0-9]+$ ]] && ((major >= 9)); then
        echo "Wine GPU"
    else
        echo "Wine Adapter"
    fi
}
