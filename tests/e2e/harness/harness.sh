#!/usr/bin/env bash
# The private session starts a display and a sound server with a null sink, and stops both by PID;
# in it, probe.exe reads a message box's caption and text from outside and presses OK.
source "$(dirname "$0")/../lib.sh"
target=$1 MD_PROBE=$2
md_session_start || exit 1
xpid=$MD_XVFB_PID ppid=$MD_PULSE_PID
check "display answers" xdpyinfo -display "$DISPLAY" >/dev/null
check "null sink is the default" test "$(pactl get-default-sink)" = "$MD_SINK"
check "monitor records" bash -c 'timeout 2 parec -d "$MD_SINK.monitor" --raw 2>/dev/null | head -c 1000 | wc -c | grep -q 1000'
wine "$target" box "Oops" 'First line \nSecond line' &
pid=$!
seen=$(e2e_wait_box)
check "caption, text and icon" test "$seen" = "$(printf 'Oops\tFirst line \\nSecond line\terror')"
check "OK closed the box and its program" timeout 20 tail --pid=$pid -f /dev/null
md_session_stop
check "Xvfb stopped" bash -c "! kill -0 $xpid 2>/dev/null"
check "PulseAudio stopped" bash -c "! kill -0 $ppid 2>/dev/null"
e2e_finish
