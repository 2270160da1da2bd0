# shellcheck shell=bash
# Sourced by scripts that make Debian roots: debian_archive SUITE prints the
# archives apt on this machine lists for SUITE, first the one-line then the
# deb822 source formats, one a line.
debian_archive() {
    local suite=$1 file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $file ]] || continue
        sed -n -E "s/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+$suite([[:space:]].*)?$/\2/p" "$file"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [[ -f $file ]] || continue
        awk -v suite="$suite" '
            function flush() {
                if (deb && enabled && uri != "" && match_suite) print uri
                deb = 0; enabled = 1; uri = ""; match_suite = 0
            }
            BEGIN { flush() }
            /^[[:space:]]*$/ { flush(); next }
            /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
            /^Enabled:/ { if (tolower($2) == "no") enabled = 0 }
            /^URIs:/ { uri = $2 }
            /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) match_suite = 1 }
            END { flush() }' "$file"
    done
}
