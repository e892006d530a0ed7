#!/usr/bin/env bash
# probe.exe reads a message box's caption and text from outside and presses OK.
source "$(dirname "$0")/../lib.sh"
target=$1 MD_PROBE=$2
md_session_start || exit 1
trap md_session_stop EXIT
wine "$target" box "Oops" 'First line \nSecond line' &
pid=$!
seen=$(e2e_wait_box)
check "caption, text and icon" test "$seen" = "$(printf 'Oops\tFirst line \\nSecond line\terror')"
check "OK closed the box and its program" timeout 20 tail --pid=$pid -f /dev/null
e2e_finish
