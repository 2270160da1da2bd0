#!/bin/sh
# Runs a program started by the compositor with its output kept: the X
# display it got, its standard output and error, in files of directory $1.
dir=$1
shift
echo "$DISPLAY" >"$dir/display.tmp" && mv "$dir/display.tmp" "$dir/display"
exec "$@" >"$dir/stdout" 2>"$dir/stderr"
