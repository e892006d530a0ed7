#!/usr/bin/env bash
# A seek, from the press to the new place heard: twenty Left and Right presses while a rising tone
# plays, beside two CPU-bound processes, each found in the recording (tests/e2e/program/
# seek_heard.py). Beside it the floor every press waits out here, the sound path's own delay
# (Wine's mixer, PulseAudio and the recorder): a stop, from the press to the silence heard.
# Usage: bench/app/seek-latency.sh [BUILD_ROOT] [--quiet]   (default build/; --quiet: no CPU hogs)
source "$(dirname "$0")/program-session.sh" "${1:-}"
hogs=()
trap 'kill "${hogs[@]}" 2>/dev/null; program_cleanup' EXIT
[ "${2:-}" = --quiet ] || for _ in 1 2; do (while :; do :; done) & hogs+=($!); done
disk=$(disk_copy)
sox -q -n -r 44100 -c 2 -b 16 "$disk/sweep.wav" synth 120 sine 200-3000 vol 0.5
python3 "$DISKPY" set "$disk" PlayList.ini song0 file sweep.wav
(cd "$disk" && wine "$MD_BIN/bin/orvelrender.exe" sweep.wav "$S/sweep-render.wav" --float >/dev/null)
recorded() { echo $(($(stat -c %s "$S/seek.raw") / 4)); }
percentiles() { sort -n | awk '{ v[NR] = $1 } END { printf "median %.0f ms, 95th percentile %.0f ms, worst %.0f ms (%d)", 1000 * v[int((NR + 1) / 2)], 1000 * v[int(NR * 0.95 + 0.999)], 1000 * v[NR], NR }'; }

disk_start "$disk" wait
record_start "$S/seek.raw"
click_button "$disk" ButtonPlayPause
xdotool mousemove $(at 340 200)
e2e_poll 10 heard "$S/seek.raw"
sleep 2
jumps=()
for i in $(seq 20); do
  a=$(recorded)
  xdotool key $([ $((i % 2)) = 1 ] && echo Right || echo Left)
  jumps+=("$a $a")
  sleep 1.2
done
# The floor: a stop is heard once the path has played out what it held.
floors=()
for _ in 1 2 3 4 5; do
  a=$(recorded)
  click_button "$disk" ButtonStop
  sleep 1
  floors+=("$(/usr/bin/python3 - "$S/seek.raw" "$a" <<'PY'
import sys, numpy as np
h = np.frombuffer(open(sys.argv[1], "rb").read(), dtype="<i2")[0::2]
a = int(sys.argv[2])
# The first of 441 silent frames in a row.
loud = np.concatenate((np.flatnonzero(h[a:] != 0), [len(h) - a]))
gaps = np.flatnonzero(np.diff(loud) > 441)
print((loud[gaps[0]] + 1) / 44100 if len(gaps) else 99)
PY
)")
  click_button "$disk" ButtonPlayPause
  e2e_poll 10 eval '[ "$(peak "$S/seek.raw" 0.2)" -gt 1000 ]'
  sleep 1
done
record_stop
press_escape "$disk"
/usr/bin/python3 "$here/tests/e2e/program/seek_heard.py" "$S/seek.raw" "$S/sweep-render.wav" ${jumps[*]} >"$S/seeks.txt"
awk '{ printf "%s/%s ", $4, $5 } END { print "" }' "$S/seeks.txt"
echo "seek press to the new place heard: $(awk '{ print $4 }' "$S/seeks.txt" | grep -v none | percentiles)," \
  "$(grep -c none "$S/seeks.txt") not found; steepest step $(awk '$5 > m { m = $5 } END { print m }' "$S/seeks.txt")" \
  "against the song's own $(awk '{ print $6; exit }' "$S/seeks.txt"); the sound path dropped out" \
  "$(awk '{ n += $7 } END { print n + 0 }' "$S/seeks.txt") times in the 0.3 s after a press and lost frames at" \
  "$(awk '$9 != 0' "$S/seeks.txt" | wc -l) steps"
echo "stop press to silence heard, the sound path's floor: $(printf '%s\n' "${floors[@]}" | percentiles)"
