#!/usr/bin/env bash
# lintian.sh <package.deb>: lintian's verdict, every tag shown, errors fail.
set -uo pipefail
command -v lintian >/dev/null || { echo "lintian is missing (scripts/deps/packaging.txt)"; exit 1; }
lintian --fail-on error --display-info --tag-display-limit 0 "$1"
status=$?
((status == 0)) && echo "lintian: no errors in $(basename "$1")"
exit $status
