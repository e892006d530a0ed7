#!/usr/bin/env bash
# Without a sound server the constructor says so and throws.
# Usage: no_sound_server.sh DRIVER PROBE
source "$(dirname "$0")/../lib.sh"
driver=$1 MD_PROBE=$2
md_session_start || exit 1
trap md_session_stop EXIT
output="$MD_SESSION_DIR/driver.out"
PULSE_SERVER="unix:$MD_SESSION_DIR/no-such-server" wine "$driver" construct >"$output" 2>/dev/null &
pid=$!
seen=$(e2e_wait_box)
check "the box: Fatal error / Could not create DirectSound object" \
  test "$seen" = "$(printf 'Fatal error\tCould not create DirectSound object\terror')"
wait "$pid"
rc=$?
check "the constructor threw a character string" test "$rc" -eq 3 -a "$(tr -d '\r' <"$output")" = thrown
e2e_finish
