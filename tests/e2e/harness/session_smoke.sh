#!/usr/bin/env bash
# The private session starts a display and a sound server with a null sink, and stops both by PID.
source "$(dirname "$0")/../lib.sh"
md_session_start || exit 1
xpid=$MD_XVFB_PID ppid=$MD_PULSE_PID
check "display answers" xdpyinfo -display "$DISPLAY" >/dev/null
check "null sink is the default" test "$(pactl get-default-sink)" = "$MD_SINK"
check "monitor records" bash -c 'timeout 2 parec -d "$MD_SINK.monitor" --raw 2>/dev/null | head -c 1000 | wc -c | grep -q 1000'
md_session_stop
check "Xvfb stopped" bash -c "! kill -0 $xpid 2>/dev/null"
check "PulseAudio stopped" bash -c "! kill -0 $ppid 2>/dev/null"
e2e_finish
