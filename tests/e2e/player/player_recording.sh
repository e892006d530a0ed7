#!/usr/bin/env bash
# Plays songs through the player driver (the program's calls, the real library and stream), records
# the null sink's monitor and checks the recording against the library's own rendering of the songs.
# Usage: player_recording.sh MODE DRIVER ORVELRENDER SONGS_DIR
#   song    the first demo song, from PlayList.ini
#   pause   the same, paused and played again
#   chain   two short songs written here, played through their ends with no command between
source "$(dirname "$0")/../lib.sh"
mode=$1 driver=$2 render=$3 songs=$4
here=$(cd "$(dirname "$0")" && pwd)
md_session_start || exit 1
trap md_session_stop EXIT
work="$MD_SESSION_DIR/work"
mkdir -p "$work" && cd "$work" || exit 1

playlist() { # songs...
  local i=0 song
  printf '[Music]\nTitle=player test\n' >PlayList.ini
  for song in "$@"; do
    printf '[song%d]\nfile=%s\npic1=info%d.png\npic0=noinfo%d.png\nTitlePic=title%d.png\n' \
      "$i" "$song" "$i" "$i" "$i" >>PlayList.ini
    i=$((i + 1))
  done
}

case $mode in
  song | pause)
    cp "$songs/first-light.xm" "$songs/slow-drift.wav" "$songs/night-pulse.ogg" .
    playlist first-light.xm slow-drift.wav night-pulse.ogg
    references=(first-light.xm)
    ;;
  chain)
    python3 - <<'PY'
import math, struct, wave
def write(name, seconds, frequency, level):
    frames = int(seconds * 44100)
    with wave.open(name, 'wb') as w:
        w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
        w.writeframes(b''.join(struct.pack('<hh', int(level * 32767 * math.sin(2 * math.pi * frequency * i / 44100)),
                                           int(level * 32767 * math.sin(2 * math.pi * frequency * 1.5 * i / 44100)))
                               for i in range(frames)))
write('first.wav', 2.5, 440, 0.5)
write('second.wav', 3.5, 330, 0.4)
PY
    playlist first.wav second.wav
    references=(first.wav second.wav)
    ;;
  *) echo "player_recording: unknown mode $mode" >&2; exit 2 ;;
esac
case $mode in
  song) script=(play@1.5 quit@12) ;;
  pause) script=(play@1.5 pause@6 play@8.5 quit@15) ;;
  chain) script=(play@1.5 quit@19) ;;
esac

reference_files=()
for song in "${references[@]}"; do
  check "reference rendering of $song" timeout 120 wine "$render" "$song" "reference-$song.wav" --seconds 20 --float
  reference_files+=("reference-$song.wav")
done

recording="$work/$mode.raw"
parec -d "$MD_SINK.monitor" --raw --format=s16le --rate=44100 --channels=2 >"$recording" &
recorder=$!
check "driver ran" bash -c 'timeout 60 wine "$0" "${@}" | tr -d "\r" >driver.log' "$driver" "${script[@]}"
sleep 0.5
kill -INT "$recorder"; wait "$recorder"
cat driver.log
# Kept for a look at a failure: the last recording of each mode.
cp "$recording" "$MD_BIN/tests/e2e/player/last-$mode.raw" 2>/dev/null || true
check "recording holds what the player must play" \
  python3 "$here/analyse.py" "$mode" "$recording" driver.log "${reference_files[@]}"
e2e_finish
