#!/usr/bin/env bash
# Plays songs through the player driver (the program's calls, the real library and stream), records
# the null sink's monitor and checks the recording against the library's own rendering of the songs.
# Usage: player_recording.sh MODE DRIVER ORVELRENDER SONGS_DIR
#   pause   a clock of tones written here, paused and played again
#   chain   three short songs written here, played through their ends; one forward pressed in the
#           first one's last half-second
#   outage  the demo songs, while the sound device goes away in three ways, then twice more:
#           while stopped (one press plays) and while playing (no press)
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

# Songs of pure tones: NAME SECONDS HZ, each further HZ@SECONDS changing the pitch from then on.
tones() {
  python3 - "$@" <<'PY'
import math, struct, sys, wave
name, seconds, changes = sys.argv[1], float(sys.argv[2]), sys.argv[3:]
steps = sorted((float(at), float(hz)) for hz, at in (c.split('@') if '@' in c else (c, 0) for c in changes))
frames, phase, out = int(seconds * 44100), 0.0, []
for i in range(frames):
    hz = [h for at, h in steps if at * 44100 <= i][-1]
    phase += 2 * math.pi * hz / 44100
    out.append(struct.pack('<hh', int(0.4 * 32767 * math.sin(phase)), int(0.3 * 32767 * math.sin(phase))))
with wave.open(name, 'wb') as w:
    w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100); w.writeframes(b''.join(out))
PY
}

case $mode in
  pause)
    # A clock: 64 steps of 250 ms, each at a pitch of its own.
    tones clock.wav 16 $(awk 'BEGIN { for (k = 0; k < 64; k++) printf "%d@%g ", 300 + 20 * k, k * 0.25 }')
    playlist clock.wav
    references=(clock.wav) script=(play@1.5 pause@6.3 play@8.5 quit@15)
    ;;
  chain)
    # The first ends on a half-second marker, inside which next is pressed; the second lasts half
    # a second.
    tones first.wav 2.5 440 880@2.0
    tones second.wav 0.5 330
    tones third.wav 1.5 550
    playlist first.wav second.wav third.wav
    references=(first.wav second.wav third.wav) script=(play@1.5 next@5.75 quit@19)
    ;;
  outage)
    cp "$songs/first-light.xm" "$songs/slow-drift.wav" "$songs/night-pulse.ogg" .
    playlist first-light.xm slow-drift.wav night-pulse.ogg
    references=() script=(play@1.5 next@10 next@18 next@28 stop@33 play@37 quit@50)
    ;;
  *) echo "player_recording: unknown mode $mode" >&2; exit 2 ;;
esac

reference_files=()
for song in "${references[@]}"; do
  check "reference rendering of $song" timeout 120 wine "$render" "$song" "reference-$song.wav" --seconds 20 --float
  reference_files+=("reference-$song.wav")
done

recording="$work/$mode.raw"
record() { parec -d "$MD_SINK.monitor" --raw --format=s16le --rate=44100 --channels=2 >"$1" & recorder=$!; }
record "$recording"
# Wine tells of each time the server ran out of what its mixer sent.
WINEDEBUG=warn+pulse timeout 75 wine "$driver" "${script[@]}" >driver.out 2>wine.log &
driver_pid=$!
if [ "$mode" = outage ]; then
  # Three ways the sound device goes away while a song plays, each followed by a forward press:
  # the sink suspended for five seconds, the sink unloaded and loaded again, the server restarted.
  restart_server() {
    XDG_RUNTIME_DIR="$MD_SESSION_DIR/pulse" HOME="$MD_SESSION_DIR/pulse" pulseaudio -n \
      -F "$MD_SESSION_DIR/pulse/default.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
      --system=no --disallow-exit >>"$MD_SESSION_DIR/pulse.log" 2>&1 &
    MD_PULSE_PID=$!
    for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  }
  # Times on the driver's clock, which starts as it prints its "open" line.
  for _ in $(seq 300); do grep -q '^open' driver.out && break; sleep 0.1; done
  begin=$(date +%s.%N)
  at() { sleep "$(awk -v t="$1" -v now="$(date +%s.%N)" -v b="$begin" 'BEGIN { d = t - (now - b); print (d > 0 ? d : 0) }')"; }
  at 4; pactl suspend-sink "$MD_SINK" 1; at 9; pactl suspend-sink "$MD_SINK" 0
  at 15; kill -INT "$recorder"; wait "$recorder"
  pactl unload-module "$(pactl list short modules | awk '/module-null-sink/ {print $1}')"; at 16
  pactl load-module module-null-sink sink_name="$MD_SINK" rate=44100 channels=2 >/dev/null
  pactl set-default-sink "$MD_SINK"; record "$work/after-reload.raw"
  at 24; kill -INT "$recorder"; wait "$recorder"
  kill "$MD_PULSE_PID"; wait "$MD_PULSE_PID"; at 26
  restart_server; record "$work/after-restart.raw"
  # The sink goes and comes back while stopped, before one press of play; then while playing.
  # A recording is lined up with the wall clock by its end, as parec may take a while to begin.
  reload_sink() { # name
    pactl unload-module "$(pactl list short modules | awk '/module-null-sink/ {print $1}')"; sleep 1
    pactl load-module module-null-sink sink_name="$MD_SINK" rate=44100 channels=2 >/dev/null
    pactl set-default-sink "$MD_SINK"; date +%s%3N >"$work/$1.back"; record "$work/$1.raw"
  }
  at 34; kill -INT "$recorder"; wait "$recorder"; reload_sink after-press
  at 42; date +%s%3N >"$work/after-press.end"; kill -INT "$recorder"; wait "$recorder"; reload_sink after-follow
fi
check "driver ran to its end" wait "$driver_pid"
sleep 0.5
date +%s%3N >"$work/after-follow.end"
kill -INT "$recorder"; wait "$recorder"
tr -d '\r' <driver.out >driver.log
cat driver.log
# Kept for a look at a failure: the last recording of each mode.
cp "$recording" "$MD_BIN/tests/e2e/player/last-$mode.raw" 2>/dev/null || true
if [ "$mode" = outage ]; then
  check "the window answered within 1.5 s of every press, and each outage was played through" \
    python3 "$here/analyse.py" outage "$recording" driver.log "$work/after-reload.raw" "$work/after-restart.raw" \
      "$work"/after-press.{raw,end} "$work"/after-follow.{raw,back,end}
else
  check "recording holds what the player must play" \
    python3 "$here/analyse.py" --wine-log wine.log "$mode" "$recording" driver.log "${reference_files[@]}"
fi
e2e_finish
