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
