#!/usr/bin/env bash
# Two short songs played through their ends with no command between: the end of one starts the
# next, and the end of the last wraps to the first; each is heard at its own pitch.
source "$(dirname "$0")/lib.sh"
scenario_begin
sox -q -n -r 44100 -c 2 -b 16 "$disk/low.wav" synth 2.5 sine 440 vol 0.5
sox -q -n -r 44100 -c 2 -b 16 "$disk/high.wav" synth 2.5 sine 660 vol 0.5
python3 "$DISKPY" set "$disk" PlayList.ini song0 file low.wav
python3 "$DISKPY" set "$disk" PlayList.ini song1 file high.wav
python3 "$DISKPY" set "$disk" PlayList.ini song2 file ""

wait_title() { e2e_poll "$2" shows_now "$disk" "$1" TitlePic; }  # song seconds

disk_start "$disk" wait
record_start "$S/ends.raw"
click_button "$disk" ButtonPlayPause
xdotool mousemove $(at 2 2)
check "song 0 starts" wait_title 0 3
check "its end starts song 1 by itself" wait_title 1 12
check "the end of the last wraps to song 0" wait_title 0 12
sleep 3
record_stop
# The dominant pitch of each quarter second, then the order in which the pitches came.
check "heard: 440 Hz, then 660 Hz, then 440 Hz again" python3 - "$S/ends.raw" <<'PY'
import array, cmath, math, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
left = samples[0::2]
step = 11025
def level(chunk, hz):
    return abs(sum(v * cmath.exp(-2j * math.pi * hz * i / 44100) for i, v in enumerate(chunk)))
order = []
for start in range(0, len(left) - step, step):
    chunk = left[start:start + step:4]
    if max(abs(v) for v in chunk) < 2000:
        continue
    chunk = left[start:start + step]
    pitch = 440 if level(chunk, 440) > level(chunk, 660) else 660
    if not order or order[-1] != pitch:
        order.append(pitch)
print("pitches in order:", order)
sys.exit(0 if order[:3] == [440, 660, 440] else 1)
PY
press_escape "$disk"
check "Esc ends it with status 0" ends_with_status_0
e2e_finish
