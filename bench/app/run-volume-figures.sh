#!/usr/bin/env bash
# A volume press to the level heard, under wine on a steady tone: ten presses between 50% and 45%
# (2.5 dB apart), each timed by the recording's own length at the press and read from the
# recording; beside them, what a pause takes to fall silent, the device's own latency.
# Usage: bench/app/run-volume-figures.sh [BUILD_ROOT]   (default build/; uses BUILD_ROOT/win)
source "$(dirname "$0")/program-session.sh" "${1:-}"
trap program_cleanup EXIT
disk=$(disk_copy)
sox -q -n -r 44100 -c 2 -b 16 "$disk/tone.wav" synth 90 sine 500 vol 0.5
python3 "$DISKPY" set "$disk" PlayList.ini song0 file tone.wav
disk_start "$disk" wait
record_start "$S/v.raw"
click_button "$disk" ButtonPlayPause
xdotool mousemove $(at 340 200)
e2e_poll 10 heard_for "$S/v.raw" 1.5
frames() { echo $(($(stat -c %s "$S/v.raw") / 4)); }
xdotool key --delay 50 Down Down Down Down Down Down Down Down Down Down
sleep 2
presses=()
for i in 1 2 3 4 5 6 7 8 9 10; do
  key=Up; [ $((i % 2)) -eq 1 ] && key=Down
  a=$(frames) && xdotool key $key && b=$(frames) && presses+=("$a $b")
  sleep 2
done
c=$(frames) && xdotool key space && sleep 1
record_stop
press_escape "$disk"; disk_wait_exit
for p in "${presses[@]}"; do level_step "$S/v.raw" $p "$c"; done >"$S/steps"
floor=$(cut -d' ' -f3 "$S/steps" | head -n1)
ms=$(cut -d' ' -f2 "$S/steps" | sort -n)
echo "volume press to level heard over $(grep -c . <<<"$ms") presses: median $(sed -n 5p <<<"$ms") ms, worst $(tail -n1 <<<"$ms") ms" \
  "(target 100); steps $(cut -d' ' -f1 "$S/steps" | tr '\n' ' ')dB (2.75 expected); a pause to silence, the device's own latency: $floor ms"
