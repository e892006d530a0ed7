#!/usr/bin/env bash
# Opening data.vfs where there is none: the box a person sees, read with probe.exe.
source "$(dirname "$0")/../lib.sh"
target=$1 MD_PROBE=$2
md_session_start || exit 1
work=$(mktemp -d)
trap 'md_session_stop; rm -rf "$work"' EXIT
cd "$work"
wine "$target" archive data.vfs &
pid=$!
seen=$(e2e_wait_box)
check "missing data.vfs box" test "$seen" = "$(printf 'Error\tCannot open file: data.vfs \\nError code:2(2)\terror')"
check "start-up carries on after the box" timeout 20 tail --pid=$pid -f /dev/null
e2e_finish
