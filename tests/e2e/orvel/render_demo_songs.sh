#!/usr/bin/env bash
# orvelrender under wine on each demo song: a WAV of the song's length that sounds like music;
# a bad song gets a message and status 1.
set -uo pipefail
render="$MD_BIN/tools/orvelrender/orvelrender.exe"
songs="$MD_BIN/demo/songs"
work=$(mktemp -d /tmp/orvelrender-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
near() { awk -v a="$1" -v b="$2" -v tol="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= tol) }'; }

for song in first-light.xm slow-drift.wav night-pulse.ogg; do
  out="$work/${song%.*}.wav"
  line=$(cd "$songs" && wine "$render" "$song" "$out" 2>"$work/err")
  rc=$?
  echo "$line"
  [ "$rc" -eq 0 ] || { fail "$song: status $rc: $(cat "$work/err")"; continue; }
  frames=$(sed -nE 's/.*\(([0-9]+) frames\).*/\1/p' <<<"$line")
  [ -n "$frames" ] || { fail "$song: no length printed"; continue; }
  [ "$(soxi -r "$out")" = 44100 ] && [ "$(soxi -c "$out")" = 2 ] && [ "$(soxi -b "$out")" = 16 ] \
    || fail "$song: not 44.1 kHz 16-bit stereo"
  written=$(soxi -s "$out")
  [ "$written" = "$frames" ] || fail "$song: wrote $written frames, printed $frames"
  seconds=$(soxi -D "$out")
  near "$seconds" 40 20 || fail "$song: $seconds s is not 20 to 60 s"
  if [ "${song##*.}" != xm ]; then
    near "$seconds" "$(soxi -D "$songs/$song")" 0.01 || fail "$song: $seconds s, the file holds $(soxi -D "$songs/$song") s"
  fi
  stats=$(sox "$out" -n stat 2>&1)
  rms=$(awk '/RMS +amplitude/ { print $3 }' <<<"$stats")
  peak=$(awk '/Maximum amplitude/ { print $3 }' <<<"$stats")
  near "$rms" 0.2 0.15 || fail "$song: RMS level $rms"
  awk -v p="$peak" 'BEGIN { exit !(p > 0.3 && p < 1.0) }' || fail "$song: peak $peak"
  # Music changes: the loudness of its seconds varies, and no second of the middle is silent.
  levels=$(for s in 5 10 15 20; do sox "$out" -n trim "$s" 1 stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; done)
  awk 'NR == 1 || $1 < min { min = $1 } NR == 1 || $1 > max { max = $1 } END { exit !(min > 0.02 && max > min * 1.02) }' \
    <<<"$levels" || fail "$song: levels of seconds 5, 10, 15, 20: $(echo $levels)"
done

# --seconds cuts, --float writes floats.
(cd "$songs" && wine "$render" first-light.xm "$work/five.wav" --seconds 5 --float >/dev/null) || fail "--seconds 5 --float"
[ "$(soxi -s "$work/five.wav" 2>/dev/null)" = 220500 ] || fail "--seconds 5 wrote $(soxi -s "$work/five.wav") frames"
[ "$(soxi -e "$work/five.wav" 2>/dev/null)" = "Floating Point PCM" ] || fail "--float wrote $(soxi -e "$work/five.wav")"

# A song that does not load.
head -c 1000 "$songs/first-light.xm" >"$work/broken.xm"
msg=$(wine "$render" "$work/broken.xm" "$work/broken.wav" 2>&1 >/dev/null)
rc=$?
[ "$rc" -eq 1 ] || fail "broken song: status $rc"
grep -q "not a song the player can load" <<<"$msg" || fail "broken song: message '$msg'"
[ ! -e "$work/broken.wav" ] || fail "broken song: wrote a file"

echo "$failures failures"
[ "$failures" -eq 0 ]
